#include "app/appmove.h"

#include "generated/appprograms.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace {

QString homeApplications()
{
    return QDir::homePath() + QStringLiteral("/Applications");
}

QString fail(QString* error, const QString& message, const QString& folder)
{
    if (error) *error = message.contains(QLatin1String("%1")) ? message.arg(folder) : message;
    return {};
}

bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

void removeAll(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

bool dittoCopies(const QString& source, const QString& staging)
{
    QProcess ditto;
    ditto.start(QString::fromUtf8(kDittoProgram), {source, staging});
    if (!ditto.waitForStarted(30000)) return false;
    if (!ditto.waitForFinished(120000)) {
        // Stop it before its half-made copy is removed, or it would go on writing there.
        ditto.kill();
        ditto.waitForFinished(5000);
        return false;
    }
    return ditto.exitStatus() == QProcess::NormalExit && ditto.exitCode() == 0;
}

// A program path as the shell must see it; the Mac's paths need no quotes and get none.
QString shellWord(const char* path)
{
    QString word = QString::fromUtf8(path);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._-]+$"));
    if (plain.match(word).hasMatch()) return word;
    return QLatin1Char('\'') + word.replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

} // namespace

QString AppMove::bundlePath()
{
    return QDir::cleanPath(QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath() +
                           QStringLiteral("/../.."));
}

bool AppMove::inApplications()
{
    const QString bundle = bundlePath();
    return bundle.startsWith(QLatin1String("/Applications/")) ||
           bundle.startsWith(homeApplications() + QLatin1Char('/'));
}

QString AppMove::applicationsFolder()
{
    const QFileInfo system(QStringLiteral("/Applications"));
    return system.isDir() && system.isWritable() ? system.filePath() : homeApplications();
}

bool AppMove::copyAlreadyThere()
{
    return present(applicationsFolder() + QLatin1Char('/') + QFileInfo(bundlePath()).fileName());
}

QString AppMove::copyBundleTo(const QString& source, const QString& folder, QString* error,
                              const TrashFunction& trash)
{
    const QFileInfo from(QDir::cleanPath(source));
    if (!from.isDir())
        return fail(error, QStringLiteral("Veridir could not find its own files to copy."), folder);
    if (!QDir().mkpath(folder))
        return fail(error, QStringLiteral("The folder %1 could not be made."), folder);
    const QString destination = folder + QLatin1Char('/') + from.fileName();
    if (QFileInfo(destination).canonicalFilePath() == from.canonicalFilePath())
        return fail(error, QStringLiteral("Veridir is already in %1."), folder);
    const QString staging = destination + QStringLiteral(".arriving");
    removeAll(staging);
    if (!dittoCopies(source, staging)) {
        removeAll(staging);
        return fail(error, QStringLiteral("Veridir could not be copied to %1."), folder);
    }
    if (present(destination)) {
        const bool moved = trash ? trash(destination) : QFile::moveToTrash(destination);
        if (!moved || present(destination)) {
            removeAll(staging);
            return fail(error,
                        QStringLiteral("The copy of Veridir already in %1 could not be moved "
                                       "to the Trash."),
                        folder);
        }
    }
    if (!QFile::rename(staging, destination)) {
        removeAll(staging);
        return fail(error, QStringLiteral("Veridir could not be put in %1."), folder);
    }
    return destination;
}

QString AppMove::copyToApplications(QString* error)
{
    return copyBundleTo(bundlePath(), applicationsFolder(), error);
}

void AppMove::openAfterQuit(const QString& path)
{
    const QString command = QStringLiteral("while %1 -0 %2 2>/dev/null; do %3 0.2; done; %4 \"$0\"")
                                .arg(shellWord(kKillProgram))
                                .arg(QCoreApplication::applicationPid())
                                .arg(shellWord(kSleepProgram), shellWord(kOpenProgram));
    QProcess::startDetached(QString::fromUtf8(kShellProgram),
                            {QStringLiteral("-c"), command, path});
}
