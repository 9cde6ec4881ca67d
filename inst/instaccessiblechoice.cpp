#include "inst/instaccessiblechoice.h"

#include "inst/instaccessible.h"
#include "inst/instappearanceselector.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <array>

namespace {

InstAppearanceSelector* selectorOf(QWidget* w)
{
    return static_cast<InstAppearanceSelector*>(w);
}

// One segment: it has no widget of its own, so the selector's interface makes and owns it.
class SegmentAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    SegmentAccessible(InstAppearanceSelector* selector, int segment)
        : m_selector(selector), m_segment(segment)
    {
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    bool isValid() const override { return !m_selector.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_selector.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? InstAppearanceSelector::segmentName(m_segment) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid()) return QRect();
        const QRect area = m_selector->segmentRect(m_segment).toAlignedRect();
        return QRect(m_selector->mapToGlobal(area.topLeft()), area.size());
    }
    QAccessible::Role role() const override { return QAccessible::RadioButton; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool chosen = int(m_selector->appearance()) == m_segment;
        s.checkable = true;
        s.checked = chosen;
        s.disabled = !m_selector->isEnabled();
        s.invisible = !m_selector->isVisible();
        s.focused = chosen && m_selector->hasFocus();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (isValid() && name == pressAction()) m_selector->pick(m_segment);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<InstAppearanceSelector> m_selector;
    int m_segment;
};

class ChoiceAccessible : public QAccessibleWidget
{
public:
    explicit ChoiceAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Grouping) {}
    ~ChoiceAccessible() override
    {
        for (QAccessible::Id id : m_ids)
            if (id) QAccessible::deleteAccessibleInterface(id);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return InstAppearanceSelector::segmentName(chosen());
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 3; }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index > 2) return nullptr;
        if (!m_ids[index])
            m_ids[index] = QAccessible::registerAccessibleInterface(
                new SegmentAccessible(selectorOf(widget()), index));
        return QAccessible::accessibleInterface(m_ids[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; i < 3; ++i)
            if (m_ids[i] && QAccessible::accessibleInterface(m_ids[i]) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const int segment = selectorOf(widget())->segmentAt(widget()->mapFromGlobal(QPoint(x, y)));
        return child(segment);
    }
    QAccessibleInterface* focusChild() const override
    {
        return widget()->hasFocus() ? child(chosen()) : nullptr;
    }

private:
    int chosen() const { return int(selectorOf(widget())->appearance()); }

    mutable std::array<QAccessible::Id, 3> m_ids{};
};

} // namespace

namespace Inst {

QAccessibleInterface* choiceAccessible(QWidget* selector)
{
    return new ChoiceAccessible(selector);
}

void announceChoice(QWidget* selector, int before, int after)
{
    if (!selector || isQuiet(selector)) return;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(selector);
    if (!iface) return;
    QAccessible::State checked;
    checked.checked = true;
    for (int segment : {before, after}) {
        if (QAccessibleInterface* child = iface->child(segment)) {
            QAccessibleStateChangeEvent event(child, checked);
            send(&event);
        }
    }
    // The reader follows the choice as the arrows move it.
    if (selector->hasFocus()) {
        if (QAccessibleInterface* child = iface->child(after)) {
            QAccessibleEvent event(child, QAccessible::Focus);
            send(&event);
        }
    }
}

} // namespace Inst
