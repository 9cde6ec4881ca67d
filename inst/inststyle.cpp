#include "inst/inststyle.h"

#include "inst/instfonts.h"

#include <QAbstractScrollArea>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVariant>

namespace Inst {
namespace {

// Dynamic properties only reach the style sheet on the next polish.
void repolish(QWidget* widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) area->viewport()->update();
}

// Sets a text property, or removes it for null or "", and says whether anything changed.
bool setTextProperty(QWidget* widget, const char* name, const char* value)
{
    const QString wanted = QString::fromLatin1(value ? value : "");
    const QVariant held = widget->property(name);
    if (held.toString() == wanted && held.isValid() == !wanted.isEmpty()) return false;
    widget->setProperty(name, wanted.isEmpty() ? QVariant() : QVariant(wanted));
    return true;
}

} // namespace

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(mono(10.5, QFont::DemiBold, 1.2));
    label->setProperty("tone", QStringLiteral("muted"));
    return label;
}

void setTone(QWidget* widget, const char* tone)
{
    if (widget && setTextProperty(widget, "tone", tone)) repolish(widget);
}

void style(QPushButton* button, Button member)
{
    if (!button) return;
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    const char* inst = nullptr;
    switch (member) {
    case Button::Plain:
        button->setFont(sans(12, QFont::Medium));
        break;
    case Button::Go:
        inst = "go";
        button->setFont(mono(13.5, QFont::DemiBold));
        break;
    case Button::Primary:
        inst = "primary";
        button->setFont(mono(13.5, QFont::DemiBold));
        break;
    case Button::Seg:
        inst = "seg";
        button->setFont(mono(11.5, QFont::DemiBold, 0.6));
        button->setCheckable(true);
        break;
    case Button::Help:
        inst = "help";
        button->setFont(sans(11, QFont::DemiBold));
        button->setFixedSize(20, 20);
        break;
    case Button::Alarm:
        inst = "alarm";
        button->setFont(mono(13.5, QFont::DemiBold));
        break;
    }
    // A button restyled to Plain must lose the member it had.
    setTextProperty(button, "inst", inst);
    repolish(button);
}

void setAlarm(QPushButton* button, bool on)
{
    if (!button) return;
    setTextProperty(button, "instState", on ? "alarm" : nullptr);
    repolish(button);
}

void setTablePulse(QWidget* table, const char* pulse)
{
    if (table && setTextProperty(table, "pulse", pulse)) repolish(table);
}

void setSmall(QPushButton* button)
{
    if (!button) return;
    button->setProperty("instSize", QStringLiteral("small"));
    button->setFont(mono(11.5, QFont::DemiBold, 0.6));
    repolish(button);
}

} // namespace Inst
