#pragma once
// A settings store of the tests' own, a watcher whose timers stand still (only tests move it),
// the buttons and labels of a window by their text, and the boxes it asks, answered in turn.

#include "clock/clockwatcher.h"
#include "engine/enginepaths.h"
#include "tests/support/sntppeer.h"
#include "ui/dialogs.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
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

// This computer set up with the server at address: the sync job's plist names it.
inline bool setUpWith(const QByteArray& address)
{
    const QByteArray plist = "<plist><dict><key>ProgramArguments</key><array><string>--server"
                             "</string><string>" +
                             address + "</string></array></dict></plist>\n";
    QDir().mkpath(QFileInfo(Engine::Paths::jobPlist()).path());
    QFile job(Engine::Paths::jobPlist());
    return job.open(QIODevice::WriteOnly) && job.write(plist) == plist.size();
}

// A button or switch by its text, for the ones a test has no handle on.
inline QAbstractButton* buttonNamed(QWidget* window, const QString& text)
{
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

// The first label whose text begins so.
inline QLabel* labelStarting(QWidget* window, const QString& start)
{
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->text().startsWith(start)) return l;
    return nullptr;
}

// Every box answered through answerNext, in order; a test clears it before it asks.
inline QList<Dialogs::Seen>& boxesSeen()
{
    static QList<Dialogs::Seen> seen;
    return seen;
}

// Answers the next box with this button (an input also with this text); the box joins
// boxesSeen().
inline void answerNext(const QString& button, const QString& text = {})
{
    Dialogs::answerNext([=](const Dialogs::Seen& s) {
        boxesSeen() << s;
        return Dialogs::Answer{button, text};
    });
}

// Answers that a failed row, or a step that asked less, left unused.
inline void dropAnswers()
{
    for (QMessageBox rest; Dialogs::hasPendingAnswers();)
        Dialogs::exec(rest);
}
