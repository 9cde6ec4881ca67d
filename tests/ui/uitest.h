#pragma once
// A settings store of the tests' own, a watcher whose timers stand still (only tests move it),
// and the buttons of a window by their text.

#include "clock/clockwatcher.h"
#include "tests/clock/sntppeer.h"

#include <QAbstractButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

inline std::unique_ptr<ClockWatcher> stillWatcher(const FakeTime& time, qint64 lastSync = 0,
                                                  quint16 ntpPort = 1)
{
    static const QTemporaryDir settings;
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    auto w = std::make_unique<ClockWatcher>(ClockWatcher::Seam{&time, ntpPort}, nullptr);
    for (QTimer* t : w->findChildren<QTimer*>())
        t->stop();
    w->lastSyncUtcMs = lastSync;
    return w;
}

// A button or switch by its text, for the ones a test has no handle on.
inline QAbstractButton* buttonNamed(QWidget* window, const QString& text)
{
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->text() == text) return b;
    return nullptr;
}
