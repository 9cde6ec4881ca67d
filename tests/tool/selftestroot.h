// A test root for the tool's self-test mode with a launchd stand-in of its own: every job the
// tool loads under it is booted out again when the root goes, and nothing it ran is left.
#pragma once

#include "tests/tool/toolharness.h"

#include <QObject>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class SelfTestRoot
{
public:
    SelfTestRoot();
    ~SelfTestRoot();

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString stateDir() const;
    QString state(const QString& name) const { return stateDir() + "/" + name; }
    QString logPath() const;
    QString installedBin() const;
    QString jobPlist() const;
    QString setTimePlist() const;

    // Writes a file as the test user would have: the file and the folders made for it are
    // the test user's. A path not beginning with "/" is taken inside the root.
    bool plant(const QString& path, const QByteArray& bytes, int mode = 0644) const;
    QByteArray read(const QString& path) const;
    // A stand-in SNTP client that says which server it was asked and exits with the status.
    QString fakeSntp(int status) const;

    QProcessEnvironment env() const;
    ToolResult tool(const QStringList& args, const QProcessEnvironment& extra = {},
                    const QString& program = {}) const;
    ToolResult launchctl(const QStringList& args) const;
    bool loaded(const QString& label) const;
    // How many runs of the job have ended; -1 when it is not loaded.
    int finishedRuns(const QString& label) const;
    // Waits until the job's run at load has ended, so nothing it writes races the test.
    bool ranAtLoad(const QString& label) const;

    // Boots out every job this root's launchd holds; false when one had to be killed or a
    // process that ran under this root is still alive.
    bool bootOutAll() const;

    static QString domain();
    static const char* const kSyncLabel;
    static const char* const kSetTimeLabel;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

// A test class whose every test function gets a fresh root, and fails when a job or a process
// outlives the function.
class SelfTestCase : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<SelfTestRoot> m_root;

private slots:
    void init();
    void cleanup();
};

// Polls until cond holds or timeoutMs passes, without a fixed sleep.
bool waitFor(const std::function<bool()>& cond, int timeoutMs = 5000);
