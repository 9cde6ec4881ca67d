#pragma once
// A settings store of the tests' own, a watcher whose timers stand still (only tests move it),
// the buttons of a window by their text, and the boxes it asks as one line each.

#include "clock/clockwatcher.h"
#include "tests/support/sntppeer.h"
#include "ui/dialogs.h"

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

// A box as one line: title | text | informative | buttons | default | escape.
inline QString shown(const Dialogs::Seen& s)
{
    return QStringList{s.title,         s.text,        s.informative, s.buttons.join(", "),
                       s.defaultButton, s.escapeButton}
        .join(" | ");
}

// Answers the next box with this button (an input also with this text); seen gets the box.
inline void answerNext(QStringList* seen, const QString& button, const QString& text = {})
{
    Dialogs::answerNext([=](const Dialogs::Seen& s) {
        if (seen) *seen << shown(s);
        return Dialogs::Answer{button, text};
    });
}
