// A test root for the tool's self-test mode with a launchd stand-in of its own: every job the
// tool loads under it is booted out again when the root goes, and nothing it ran is left.
#pragma once

#include "tests/tool/toolharness.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// Polls until cond holds or timeoutMs passes, without a fixed sleep.
bool waitFor(const std::function<bool()>& cond, int timeoutMs = 5000);

class SelfTestRoot
{
public:
    static constexpr const char* kSyncLabel = "com.tessavel.connect.selftest";
    static constexpr const char* kSetTimeLabel = "com.tessavel.connect.settime.selftest";
    static QString domain() { return "gui/" + QString::number(ToolHarness::testUid()); }

    SelfTestRoot() : m_valid(ToolHarness::makeOwnedByTestUser(m_dir.path())) {}
    ~SelfTestRoot() { bootOutAll(); }
    bool isValid() const { return m_valid; }
    // A path not beginning with "/" is taken inside the root.
    QString path(const QString& in = {}) const
    {
        return in.isEmpty() ? m_dir.path() : in.startsWith('/') ? in : m_dir.filePath(in);
    }
    QString stateDir() const { return path("Library/Application Support/Tessavel Veridir"); }
    QString state(const QString& name) const { return stateDir() + "/" + name; }
    QString logPath() const { return path("var/log/tessavel-connect.log"); }
    QString installedBin() const
    {
        return path("Library/PrivilegedHelperTools/com.tessavel.connect");
    }
    QString jobPlist() const { return path("Library/LaunchDaemons/") + kSyncLabel + ".plist"; }
    // Writes a file, and the folders it needs, as the test user's.
    bool plant(const QString& path, const QByteArray& bytes, int mode = 0644) const;
    QByteArray read(const QString& file) const;
    QProcessEnvironment env() const;
    ToolResult tool(const QStringList& args, const QProcessEnvironment& extra = {},
                    const QString& program = {}) const;
    ToolResult launchctl(const QStringList& args) const;
    // How many runs of the job have ended; -1 when it is not loaded.
    int finishedRuns(const QString& label) const;
    // Waits until the job's run at load has ended, so nothing it writes races the test.
    bool ranAtLoad(const QString& label) const
    {
        return waitFor([&] { return finishedRuns(label) >= 1; });
    }
    // Boots out every job of this root; false when bootout left one or a process is left.
    bool bootOutAll() const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

// Gives every test function a fresh root, and fails one that leaves a job or a process.
class SelfTestCase : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<SelfTestRoot> m_root;

private slots:
    void init() { QVERIFY((m_root = std::make_unique<SelfTestRoot>())->isValid()); }
    void cleanup() { QVERIFY2(m_root->bootOutAll(), "a job or a process outlived its test"); }
};
