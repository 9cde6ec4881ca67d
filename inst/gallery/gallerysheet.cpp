#include "inst/gallery/gallerysheet.h"

#include "inst/inst.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

GallerySheet::GallerySheet(const QString& title, QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 18, 24, 24);
    column->setSpacing(14);
    auto* heading = new QLabel(title, this);
    heading->setFont(Inst::mono(15, QFont::DemiBold, 2.0));
    column->addWidget(heading);
    // Independent columns, so that a tall plate leaves no gap beside it.
    auto* columns = new QHBoxLayout;
    columns->setSpacing(28);
    for (QVBoxLayout*& c : m_columns) {
        c = new QVBoxLayout;
        c->setSpacing(22);
        columns->addLayout(c);
    }
    column->addLayout(columns);
}

QVBoxLayout* GallerySheet::addPlate(int column, const QString& title)
{
    auto* plate = new QWidget(this);
    auto* layout = new QVBoxLayout(plate);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* label = Inst::caption(title.toUpper(), plate);
    Inst::setTone(label, "info");
    layout->addWidget(label);
    QVBoxLayout* target = m_columns[qBound(0, column, 2)];
    // Each column ends in one stretch that stays below its last plate.
    if (target->count() > 0) delete target->takeAt(target->count() - 1);
    target->addWidget(plate, 0, Qt::AlignLeft);
    target->addStretch(1);
    return layout;
}

QHBoxLayout* GallerySheet::addRow(QVBoxLayout* plate, const QString& label)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    if (!label.isEmpty()) {
        auto* name = new QLabel(label);
        name->setFont(Inst::mono(10.5, QFont::Normal));
        name->setProperty("tone", QStringLiteral("muted"));
        name->setFixedWidth(104);
        row->addWidget(name);
    }
    plate->addLayout(row);
    return row;
}

bool GallerySheet::save(const QString& path, double scale)
{
    Inst::applyTo(this);
    show();
    QApplication::processEvents();
    // Not adjustSize(): it would hold the sheet to a share of the (small) offscreen screen.
    layout()->activate();
    resize(sizeHint());
    QApplication::processEvents();
    QImage image((QSizeF(size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Inst::tokens()->panel);
    render(&image);
    return image.save(path);
}

void galleryHover(QWidget* widget)
{
    widget->setAttribute(Qt::WA_UnderMouse, true);
}

void galleryFocus(QWidget* widget)
{
    widget->window()->activateWindow();
    widget->setFocus(Qt::TabFocusReason);
}

void galleryPoint(QWidget* widget, QPoint at)
{
    galleryHover(widget);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}
