#pragma once
// The privileged steps and the checks before them block the main thread: the pointer says so
// while one runs, and is given back however the step ends.

#include <QCursor>
#include <QGuiApplication>

template <typename Step> auto waiting(Step step)
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    struct Restore
    {
        ~Restore() { QGuiApplication::restoreOverrideCursor(); }
    } restore;
    return step();
}
