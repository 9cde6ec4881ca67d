#pragma once
// The privileged steps block the main thread: the pointer says so while one runs.
#include <QCursor>
#include <QGuiApplication>

template <typename Step> auto waiting(Step step)
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    auto result = step();
    QGuiApplication::restoreOverrideCursor();
    return result;
}
