#pragma once
// What the painted widgets say to screen readers: an accessible interface for each widget
// that Qt knows nothing of, and change notices that do not chatter.

#include <QAccessible>
#include <QList>

class QWidget;

namespace Inst {

// Puts the toolkit's interfaces in front of Qt's; once, however often it is called. The
// painted widgets call it as they are made; a program calls it before its first window.
void installAccessibility();

// A quiet widget changes without telling screen readers each time: a clock ticking every
// second would talk over everything else. Its owner announces the changes that matter.
void setQuiet(QWidget* widget, bool quiet = true);
bool isQuiet(const QWidget* widget);
// Whether a notice about the widget reaches anyone: it is not quiet, and a screen reader (or
// a test's listener) is there. Words worked out for nobody cost every second.
bool heard(const QWidget* widget);

// Tells screen readers the widget's name or value changed, unless the widget is quiet.
void announce(QWidget* widget, QAccessible::Event what);
// The same for a widget whose value is read as text: the words before and after.
void announceText(QWidget* widget, const QString& before, const QString& after);

// Tab walks the widgets in this order, as the window reads; Backtab the other way.
void setTabOrder(const QList<QWidget*>& order);

// Every notice of the toolkit goes out here: to Qt's screen-reader bridge, or to a listener
// set in its place (a test's recorder; null gives Qt back).
void send(QAccessibleEvent* event);
void setNoticeListener(void (*listener)(QAccessibleEvent*));

} // namespace Inst
