// Elsewhere: the login item is an XDG autostart entry; there is no Dock, and the window was
// already raised and activated through Qt when it came up.
#include "app/platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtGlobal>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString entryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/tessavel-veridir.desktop");
}

// The entry's Exec value: the program quoted as the desktop entry rules ask, then "--login".
QByteArray execLine()
{
    QString program = QCoreApplication::applicationFilePath();
    for (const char* c : {"\\", "\"", "`", "$"})
        program.replace(QLatin1String(c), QLatin1String("\\") + QLatin1String(c));
    // The file format unescapes backslashes once more before the Exec rules see them.
    program.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return QStringLiteral("Exec=\"%1\" --login\n").arg(program).toUtf8();
}

QByteArray entry()
{
    return "[Desktop Entry]\nType=Application\nName=" +
           QCoreApplication::applicationName().toUtf8() + '\n' + execLine();
}

// A real folder, not a link, of this user's alone: nobody else can plant a socket in it.
bool isPrivateFolder(const QString& path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 07777) == 0700;
}

} // namespace

bool registerLoginItem()
{
    const QString path = entryPath();
    QSaveFile file(path);
    if (QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
        file.write(entry()) >= 0 && file.commit())
        return true;
    qWarning("Failed to register login item: %s", qPrintable(file.errorString()));
    return false;
}

bool unregisterLoginItem()
{
    QFile file(entryPath());
    if (!file.exists() || file.remove()) return true;
    qWarning("Failed to unregister login item: %s", qPrintable(file.errorString()));
    return false;
}

bool isLoginItemRegistered()
{
    // Only an entry that starts this very copy counts, as the Mac's service is per bundle.
    QFile file(entryPath());
    return file.open(QIODevice::ReadOnly) && file.readAll() == entry();
}

void setDockIconVisible(bool) {}

void activateApp() {}

bool menuBarTakesWideItems()
{
    return false;
}

QString singleInstanceSocket(QString* error)
{
    const QString name = QStringLiteral("/com.tessavel.connect.app.instance");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime)) return runtime + name;
    // The temporary folder is shared: a folder of our own in it, never one someone else made.
    const QString own = QDir::tempPath() + QStringLiteral("/tessavel-veridir-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own)) return own + name;
    if (error) *error = QStringLiteral("The folder %1 is not this user's alone.").arg(own);
    return QString();
}
