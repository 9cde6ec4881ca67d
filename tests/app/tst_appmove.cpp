#include "app/appmove.h"

#include <QtTest>
#include <unistd.h>

static void writeFile(const QString& path, const QByteArray& text)
{
    QFile file((QDir().mkpath(QFileInfo(path).path()), path));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
}

static QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every file under a folder with its content, to see that the source stays as it was.
static QStringList tree(const QString& root)
{
    QStringList seen;
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next(); // first: the operands of + come in no set order
        seen << path.mid(root.size()) + '=' + readFile(path);
    }
    return seen.sort(), seen;
}

class TestAppMove : public QObject
{
    Q_OBJECT

private slots:
    void copyBundleTo_data();
    void copyBundleTo();
    void openAfterQuitWaitsForTheEnd();
};

void TestAppMove::copyBundleTo_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("trash");   // what the Trash does when asked
    QTest::addColumn<QString>("message"); // %1: the folder; empty: the copy succeeds

    QTest::newRow("a leftover of an earlier attempt is cleared") << "leftover" << "" << "";
    QTest::newRow("the copy already there goes to the Trash") << "there" << "moves" << "";
    QTest::newRow("no own files")
        << "nosource" << "" << "Veridir could not find its own files to copy.";
    QTest::newRow("the folder cannot be made")
        << "folderisfile" << "" << "The folder %1 could not be made.";
    QTest::newRow("copying onto itself") << "itself" << "" << "Veridir is already in %1.";
    QTest::newRow("the copy fails") << "unreadable" << "" << "Veridir could not be copied to %1.";
    const QString stays = "The copy of Veridir already in %1 could not be moved to the Trash.";
    QTest::newRow("the Trash refuses") << "there" << "refuses" << stays;
    QTest::newRow("the Trash says yes but leaves it") << "there" << "leaves" << stays;
    QTest::newRow("the rename fails") << "there" << "locks" << "Veridir could not be put in %1.";
}

void TestAppMove::copyBundleTo()
{
    QFETCH(QString, setup);
    QFETCH(QString, trash);
    QFETCH(QString, message);
    if (geteuid() == 0 && (setup == "unreadable" || trash == "locks"))
        QSKIP("permissions do not bind root");

    const QTemporaryDir tmp;
    const QString source = tmp.filePath("downloads/Tessavel Veridir.app");
    QString folder = tmp.filePath("Applications");
    const QString destination = folder + "/Tessavel Veridir.app";
    writeFile(source + "/Contents/MacOS/Tessavel Veridir", "new");
    writeFile(source + "/Contents/Info.plist", "plist");
    if (setup == "leftover")
        writeFile(destination + ".arriving/stale", "stale");
    if (setup == "there")
        writeFile(destination + "/Contents/MacOS/Tessavel Veridir", "old");
    if (setup == "folderisfile" || setup == "itself")
        folder = tmp.filePath(setup == "itself" ? "downloads" : "downloads/file/Applications");
    writeFile(tmp.filePath("downloads/file"), "");
    const QStringList before = tree(source);
    if (setup == "unreadable")
        QFile::setPermissions(source + "/Contents/Info.plist", {});

    QStringList trashed;
    const QString bin = tmp.filePath("Trash");
    AppMove::TrashFunction toTrash = [&](const QString& path) {
        trashed << path;
        if (trash == "refuses" || trash == "leaves")
            return trash == "leaves";
        const bool moved = QDir().mkpath(bin) && QFile::rename(path, bin + "/moved");
        if (trash == "locks")
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        return moved;
    };
    QString error = "untouched";
    const QString made = AppMove::copyBundleTo(
        setup == "nosource" ? tmp.filePath("nothing.app") : source, folder, &error, toTrash);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    if (message.isEmpty()) {
        QCOMPARE(made, destination);
        QCOMPARE(error, QString("untouched"));
        QCOMPARE(tree(destination), before);
    } else {
        QCOMPARE(made, QString());
        QCOMPARE(error, message.contains("%1") ? message.arg(folder) : message);
    }
    QCOMPARE(trashed, setup == "there" ? QStringList{destination} : QStringList{});
    if (setup == "there") // the old copy, in the Trash or still in place
        QCOMPARE(readFile((trash == "moves" || trash == "locks" ? bin + "/moved" : destination)
                          + "/Contents/MacOS/Tessavel Veridir"), QByteArray("old"));
    // A locked folder keeps even the emptied staging folder.
    if (trash != "locks")
        QVERIFY2(!QFileInfo::exists(destination + ".arriving"), "the staging copy stays behind");
    if (setup == "unreadable")
        QFile::setPermissions(source + "/Contents/Info.plist", QFile::ReadOwner);
    QCOMPARE(tree(source), before);
}

void TestAppMove::openAfterQuitWaitsForTheEnd()
{
    // The program of the bundle to open records whether the asking process still runs.
    const QTemporaryDir tmp;
    const QString program = tmp.filePath("Moved Veridir.app/Contents/MacOS/Moved Veridir");
    writeFile(program, "#!/bin/sh\n[ -n \"$ASKER\" ] && { kill -0 \"$ASKER\" 2>/dev/null && echo "
                       "running || echo ended; } >\"$0.record\"\n");
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    QProcess asker;
    asker.start(QCoreApplication::applicationFilePath(),
                {"--open-after-quit", tmp.filePath("Moved Veridir.app")});
    QVERIFY(asker.waitForFinished(10000) && asker.exitCode() == 0);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(program + ".record"), QByteArray("ended\n"), 10000);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The asker of openAfterQuitWaitsForTheEnd, whose id the opened program inherits.
    if (argc == 3 && qstrcmp(argv[1], "--open-after-quit") == 0) {
        qputenv("ASKER", QByteArray::number(QCoreApplication::applicationPid()));
        AppMove::openAfterQuit(argv[2]);
        return QThread::sleep(1), 0;
    }
    TestAppMove test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_appmove.moc"
