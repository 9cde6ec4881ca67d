#pragma once
// One gallery sheet: plates of widgets laid out in columns, rendered to a PNG.

#include <QWidget>

class QHBoxLayout;
class QVBoxLayout;

class GallerySheet : public QWidget
{
    Q_OBJECT
public:
    explicit GallerySheet(const QString& title, QWidget* parent = nullptr);

    // A titled plate in the next place of the given column; widgets go into its layout.
    QVBoxLayout* addPlate(int column, const QString& title);
    // A row inside a plate, its widgets from the left.
    static QHBoxLayout* addRow(QVBoxLayout* plate, const QString& label = QString());

    // Lays the sheet out in the current appearance and writes it at the given scale.
    bool save(const QString& path, double scale);

private:
    QVBoxLayout* m_columns[3];
};

// States that a pointer or keyboard would give, faked for a still picture.
void galleryHover(QWidget* widget);
void galleryFocus(QWidget* widget);
// Moves a pretend pointer over a point of the widget.
void galleryPoint(QWidget* widget, QPoint at);
