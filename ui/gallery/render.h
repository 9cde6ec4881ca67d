#pragma once
// A window rendered into a PNG at the given scale, on black where it paints nothing.

#include <QImage>
#include <QString>
#include <QWidget>

inline bool saveRendered(QWidget& window, const QString& path, double scale)
{
    QImage image((QSizeF(window.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::black);
    window.render(&image);
    return image.save(path);
}
