#include "inst/instaccessiblemenu.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>

namespace {

class MenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    MenuItemAccessible(QAction* action, QMenu* menu) : m_action(action), m_menu(menu) {}

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    bool isValid() const override { return m_action && m_menu; }
    QObject* object() const override { return m_action; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_menu.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override
    {
        return m_action->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QString text(QAccessible::Text t) const override
    {
        // "&&" is a shown ampersand, any other "&" marks the mnemonic.
        static const QRegularExpression mnemonic(QStringLiteral("&(?!&)"));
        if (t == QAccessible::Name) return QString(m_action->text()).remove(mnemonic);
        if (t == QAccessible::Description) return m_action->statusTip();
        if (t == QAccessible::Accelerator) return m_action->shortcut().toString();
        return QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        return m_menu->actionGeometry(m_action).translated(m_menu->mapToGlobal(QPoint()));
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !m_menu->isVisible() || !m_action->isVisible();
        s.focused = m_menu->activeAction() == m_action;
        s.disabled = m_action->isSeparator() || !m_action->isEnabled();
        s.checkable = m_action->isCheckable();
        s.checked = m_action->isChecked();
        return s;
    }

    QStringList actionNames() const override
    {
        return m_action->isSeparator() ? QStringList() : QStringList{pressAction()};
    }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && m_action->isEnabled()) m_action->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QAction> m_action;
    QPointer<QMenu> m_menu;
};

} // namespace

namespace Inst {

QAccessibleInterface* menuItemAccessible(QAction* action)
{
    if (action->menu()) return nullptr; // an entry that opens a submenu stays Qt's
    for (QObject* o : action->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(o)) return new MenuItemAccessible(action, menu);
    return nullptr;
}

} // namespace Inst
