#pragma once
// A menu's entries to screen readers as Qt reads them, and with the why of a disabled one: an
// action's status tip is its description.

class QAccessibleInterface;
class QAction;

namespace Inst {

// The interface of an entry of a pop-up menu; null for other actions (Qt's own then).
QAccessibleInterface* menuItemAccessible(QAction* action);

} // namespace Inst
