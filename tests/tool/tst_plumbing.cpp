// Running programs, paths, options and the atomic file writer.
#include "tool/atomicfile.h"
#include "tool/plumbing.h"
#include "tool/values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class TestPlumbing : public QObject
{
    Q_OBJECT

    static void setArgs(std::vector<std::string> args)
    {
        tool::ProcessFacts f;
        f.effectiveUid = 501;
        f.args = std::move(args);
        tool::setValues(tool::computeValues(f));
    }

private slots:
    void run_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::newRow("output and error share one pipe, in order")
            << "echo one; echo two >&2; echo three" << 0 << "one\ntwo\nthree\n";
        QTest::newRow("exit status") << "echo x; exit 3" << 3 << "x\n";
        QTest::newRow("invalid UTF-8 gives empty text") << "printf 'a\\377b'; exit 1" << 1 << "";
        QTest::newRow("UTF-8 passes") << "printf '\\342\\200\\224'" << 0 << "\u2014";
        QTest::newRow("output larger than a pipe buffer")
            << "head -c 200000 /dev/zero | tr '\\0' a" << 0 << QString(200000, 'a');
        QTest::newRow("killed by a signal") << "kill -9 $$" << 9 << "";
    }

    void run()
    {
        QFETCH(QString, script);
        QFETCH(int, code);
        QFETCH(QString, out);
        const auto r = tool::run("/bin/sh", {"-c", script.toStdString()});
        QCOMPARE(r.code, code);
        QCOMPARE(QString::fromStdString(r.out), out);
    }

    void runPassesArgumentsWithoutShell()
    {
        const auto r = tool::run("/usr/bin/printf", {"[%s]", "a b", "", "$HOME;*"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, std::string("[a b][][$HOME;*]"));
    }

    void runMissingProgram()
    {
        const auto r = tool::run("/nonexistent/prog", {});
        QCOMPARE(r.code, -1);
        QCOMPARE(r.out, std::string("could not run /nonexistent/prog: No such file or directory"));
    }

    void standardisedPath_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("dot") << "/a/./b"
                             << "/a/b";
        QTest::newRow("dot-dot") << "/a/b/../c"
                                 << "/a/c";
        QTest::newRow("above the root") << "/../../a"
                                        << "/a";
        QTest::newRow("double slash") << "/a//b/"
                                      << "/a/b";
        QTest::newRow("only dots") << "/./.."
                                   << "/";
        QTest::newRow("dotted names are names") << "/a/..b/.c"
                                                << "/a/..b/.c";
    }

    void standardisedPath()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(QString::fromStdString(tool::standardisedPath(in.toStdString())), out);
    }

    void selfPath()
    {
        setArgs({"/abs/../tool"});
        QCOMPARE(tool::selfPath(), std::string("/abs/../tool")); // absolute: taken as it is
        const std::string cwd = QDir::currentPath().toStdString();
        setArgs({"./sub/../tool"});
        QCOMPARE(tool::selfPath(), cwd + "/tool");
    }

    void optValue_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("value"); // "<none>" when absent
        QTest::newRow("after the name") << QStringList{"t", "sync", "--server", "a"} << "a";
        QTest::newRow("anywhere") << QStringList{"t", "--server", "a", "sync"} << "a";
        QTest::newRow("first occurrence")
            << QStringList{"t", "x", "--server", "a", "--server", "b"} << "a";
        QTest::newRow("last argument") << QStringList{"t", "sync", "--server"} << "<none>";
        QTest::newRow("missing") << QStringList{"t", "sync"} << "<none>";
        QTest::newRow("value may look like an option")
            << QStringList{"t", "--server", "--name"} << "--name";
        QTest::newRow("program name is no option") << QStringList{"--server", "x"} << "<none>";
    }

    void optValue()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, value);
        std::vector<std::string> a;
        for (const auto& s : args)
            a.push_back(s.toStdString());
        setArgs(a);
        const auto v = tool::optValue("--server");
        QCOMPARE(v ? QString::fromStdString(*v) : QString("<none>"), value);
    }

    void utf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("abc") << true;
        QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x95\x90") << true;
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("cut short") << QByteArray("\xE2\x80") << false;
        QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    }

    void utf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(tool::isValidUtf8(bytes.toStdString()), valid);
    }

    void atomicWrite_data()
    {
        QTest::addColumn<unsigned>("mode");
        QTest::newRow("0644") << 0644u;
        QTest::newRow("0666 despite the umask") << 0666u;
        QTest::newRow("0600") << 0600u;
    }

    void atomicWrite()
    {
        QFETCH(unsigned, mode);
        QTemporaryDir dir;
        const std::string path = dir.filePath("f").toStdString();
        QVERIFY(tool::writeFileAtomically(path, "old\n", 0600));
        const mode_t old = umask(022);
        const bool ok = tool::writeFileAtomically(path, "new\n", mode);
        umask(old);
        QVERIFY(ok);
        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("new\n"));
        struct stat st
        {
        };
        QCOMPARE(stat(path.c_str(), &st), 0);
        QCOMPARE(unsigned(st.st_mode & 07777), mode);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"f"});
    }

    // A link at the target is replaced, never written through.
    void atomicWriteReplacesLink()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath("victim");
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("keep");
        v.close();
        const std::string link = dir.filePath("record").toStdString();
        QCOMPARE(symlink(victim.toLocal8Bit().constData(), link.c_str()), 0);
        QVERIFY(tool::writeFileAtomically(link, "x", 0644));
        QVERIFY(!QFileInfo(QString::fromStdString(link)).isSymLink());
        QVERIFY(v.open(QIODevice::ReadOnly));
        QCOMPARE(v.readAll(), QByteArray("keep"));
    }

    void atomicWriteFailure()
    {
        QTemporaryDir dir;
        std::string error;
        QVERIFY(
            !tool::writeFileAtomically(dir.filePath("no/such/f").toStdString(), "x", 0644, &error));
        QVERIFY2(error.find("could not create a file in") == 0, error.c_str());
        // A folder in the way: the rename fails and the new file is cleaned up.
        QVERIFY(QDir(dir.path()).mkpath("busy/inner"));
        QVERIFY(!tool::writeFileAtomically(dir.filePath("busy").toStdString(), "x", 0644, &error));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"busy"});
    }
};

QTEST_GUILESS_MAIN(TestPlumbing)
#include "tst_plumbing.moc"
