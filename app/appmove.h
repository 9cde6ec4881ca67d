#pragma once
// Copying the application into an Applications folder and reopening it from there, since a
// login item may only be registered from such a folder.
#include <QString>
#include <functional>

class AppMove
{
public:
    // Moves a path to the Trash; true when it went.
    using TrashFunction = std::function<bool(const QString& path)>;

    static QString bundlePath();
    static bool inApplications();
    static QString applicationsFolder();
    static bool copyAlreadyThere();
    // The path of the new copy, or empty with the reason in *error. An empty trash means the
    // platform's own Trash.
    static QString copyBundleTo(const QString& source, const QString& folder, QString* error,
                                const TrashFunction& trash = {});
    static QString copyToApplications(QString* error);
    // Opens the new copy once this process has ended.
    static void openAfterQuit(const QString& path);
};
