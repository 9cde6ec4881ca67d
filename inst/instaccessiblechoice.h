#pragma once
// The appearance selector to screen readers: a group of three radio buttons.

class QAccessibleInterface;
class QWidget;

namespace Inst {

// The interface of an InstAppearanceSelector.
QAccessibleInterface* choiceAccessible(QWidget* selector);
// Tells screen readers that the segment now chosen is checked and the one before is not.
void announceChoice(QWidget* selector, int before, int after);

} // namespace Inst
