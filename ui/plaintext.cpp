#include "ui/plaintext.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

namespace PlainText {
namespace {

// The most of a line a name may take: a short sentence around it still fits the narrowest window.
constexpr int kNameRoom = 240;

} // namespace

QLabel* label(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    label->setOpenExternalLinks(false);
    return label;
}

void box(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text has a label of its own, made when it is first set, that the box's
    // format does not reach and that opens links.
    for (QLabel* l : box.findChildren<QLabel*>())
        label(l);
}

QString toolTip(const QString& text)
{
    return Qt::convertFromPlainText(text);
}

QString trayToolTip(const QString& text)
{
#ifdef Q_OS_MACOS
    return text;
#else
    return toolTip(text);
#endif
}

QString fitted(const QString& text, const QWidget* shownIn)
{
    return shownIn->fontMetrics().elidedText(text, Qt::ElideRight, kNameRoom);
}

QString menuText(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace PlainText
