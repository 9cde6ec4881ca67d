#include "app/appmove.h"

#include <QtTest>
#include <unistd.h>

static void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
}

// Every file under a folder with its content, to see that the source stays as it was.
static QStringList tree(const QString& root)
{
    QStringList seen;
    for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        seen << file.fileName().mid(root.size()) + '=' + file.readAll();
    }
    seen.sort();
    return seen;
}

class TestAppMove : public QObject
{
    Q_OBJECT

public:
    // What lies about before the copy; with a copy already there, what the Trash does with it.
    enum Before { Leftover, NoSource, FolderIsFile, Itself, Unreadable, Trashed, Kept, Locked };
    Q_ENUM(Before)

private slots:
    void copyBundleTo_data()
    {
        QTest::addColumn<Before>("before");
        QTest::addColumn<QString>("error"); // %1: the folder; empty: the copy succeeds

        QTest::newRow("a leftover of an earlier attempt is cleared") << Leftover << "";
        QTest::newRow("the copy already there goes to the Trash") << Trashed << "";
        QTest::newRow("no own files")
            << NoSource << "Veridir could not find its own files to copy.";
        QTest::newRow("the folder cannot be made")
            << FolderIsFile << "The folder %1 could not be made.";
        QTest::newRow("copying onto itself") << Itself << "Veridir is already in %1.";
        QTest::newRow("the copy fails") << Unreadable << "Veridir could not be copied to %1.";
        QTest::newRow("the Trash says yes but leaves it")
            << Kept << "The copy of Veridir already in %1 could not be moved to the Trash.";
        QTest::newRow("the rename fails: the Trash locks the folder")
            << Locked << "Veridir could not be put in %1.";
    }

    void copyBundleTo()
    {
        QFETCH(Before, before);
        QFETCH(QString, error);
        if (geteuid() == 0 && (before == Unreadable || before == Locked))
            QSKIP("permissions do not bind root");

        const QTemporaryDir tmp;
        const QString source = tmp.filePath("downloads/Tessavel Veridir.app");
        const QString folder = tmp.filePath(before == Itself         ? "downloads"
                                            : before == FolderIsFile ? "downloads/file/Applications"
                                                                     : "Applications");
        const QString destination = folder + "/Tessavel Veridir.app";
        const QString program = "/Contents/MacOS/Tessavel Veridir";
        const bool copyThere = before == Trashed || before == Kept || before == Locked;
        writeFile(source + program, "new");
        writeFile(source + "/Contents/Info.plist", "plist");
        writeFile(tmp.filePath("downloads/file"), "");
        if (before == Leftover) writeFile(destination + ".arriving/stale", "stale");
        if (copyThere) writeFile(destination + program, "old");
        const QStringList sourceFiles = tree(source);
        if (before == Unreadable) QFile::setPermissions(source + "/Contents/Info.plist", {});

        const auto toTrash = [&](const QString& path) {
            if (before == Kept) return true;
            const bool moved = QFile::rename(path, tmp.filePath("trashed"));
            if (before == Locked) QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            return moved;
        };
        QString said = "untouched";
        const QString made = AppMove::copyBundleTo(
            before == NoSource ? tmp.filePath("nothing.app") : source, folder, &said, toTrash);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(source + "/Contents/Info.plist", QFile::ReadOwner);

        QCOMPARE(made, error.isEmpty() ? destination : QString());
        QCOMPARE(said, error.isEmpty() ? "untouched" : error.arg(folder));
        if (error.isEmpty()) QCOMPARE(tree(destination), sourceFiles);
        QCOMPARE(tree(source), sourceFiles);
        if (copyThere) // the old copy, in the Trash or still in place
            QCOMPARE(tree(before == Kept ? destination : tmp.filePath("trashed")),
                     QStringList{program + "=old"});
        // Nothing of the staging copy stays; a locked folder keeps only the emptied folder.
        QCOMPARE(tree(destination + ".arriving"), QStringList());
        QCOMPARE(QFileInfo::exists(destination + ".arriving"), before == Locked);
    }
};

QTEST_GUILESS_MAIN(TestAppMove)
#include "tst_appmove.moc"
