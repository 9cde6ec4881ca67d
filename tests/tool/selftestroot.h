// A test root for the tool's self-test mode with a launchd stand-in of its own: every job the
// tool loads under it is booted out again when the root goes, and nothing it ran is left.
#pragma once

#include "toolharness.h"

#include <QFile>
#include <QTest>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// Polls until cond holds or timeoutMs passes, without a fixed sleep.
bool waitFor(const std::function<bool()>& cond, int timeoutMs = 5000);

class SelfTestRoot
{
public:
    SelfTestRoot() : m_valid(ToolHarness::makeOwnedByTestUser(m_dir.path())) {}
    ~SelfTestRoot() { bootOutAll(); }

    bool isValid() const { return m_valid; }
    // A path not beginning with "/" is taken inside the root.
    QString path(const QString& in = {}) const
    {
        return in.startsWith('/') ? in : in.isEmpty() ? m_dir.path() : m_dir.path() + "/" + in;
    }
    QString stateDir() const { return path("Library/Application Support/Tessavel Veridir"); }
    QString state(const QString& name) const { return stateDir() + "/" + name; }
    QString logPath() const { return path("var/log/tessavel-connect.log"); }
    QString installedBin() const
    {
        return path("Library/PrivilegedHelperTools/com.tessavel.connect");
    }
    QString jobPlist() const { return path("Library/LaunchDaemons/") + kSyncLabel + ".plist"; }

    // Writes a file as the test user would have: the file and the folders made for it are the
    // test user's.
    bool plant(const QString& path, const QByteArray& bytes, int mode = 0644) const;
    QByteArray read(const QString& file) const
    {
        QFile f(path(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QProcessEnvironment env() const;
    ToolResult tool(const QStringList& args, const QProcessEnvironment& extra = {},
                    const QString& program = {}, const QByteArray& input = {}) const;
    ToolResult launchctl(const QStringList& args) const
    {
        return ToolHarness::run(args, env(), {}, TV_BINARY_DIR "/standins/launchctl");
    }
    bool loaded(const QString& label) const
    {
        return launchctl({"print", domain() + "/" + label}).status == 0;
    }
    // How many runs of the job have ended; -1 when it is not loaded.
    int finishedRuns(const QString& label) const;
    // Waits until the job's run at load has ended, so nothing it writes races the test.
    bool ranAtLoad(const QString& label) const
    {
        return waitFor([&] { return finishedRuns(label) >= 1; });
    }
    // Boots out every job this root's launchd holds; false when one had to be killed or a
    // process that ran under this root is still alive.
    bool bootOutAll() const;

    static QString domain() { return "gui/" + QString::number(ToolHarness::testUid()); }
    static constexpr const char* kSyncLabel = "com.tessavel.connect.selftest";
    static constexpr const char* kSetTimeLabel = "com.tessavel.connect.settime.selftest";

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
    void init()
    {
        m_root = std::make_unique<SelfTestRoot>();
        QVERIFY(m_root->isValid());
    }
    void cleanup()
    {
        QVERIFY2(m_root->bootOutAll(), "a job or a process outlived its test");
        m_root.reset();
    }
};
