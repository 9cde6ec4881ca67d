// Renders the menu-bar lamp, the main window, the clock alert and the history for review:
//   QT_QPA_PLATFORM=offscreen ui_gallery [DIR]
// writes DIR/ui-lamps-dark-bar.png, DIR/ui-lamps-light-bar.png, DIR/ui-alert-*.png,
// DIR/ui-window-*.png and DIR/ui-history-*.png.
// Run it in a network namespace of its own (the ui_gallery_sheets target does).

#include "ui/gallery/alertsheets.h"
#include "ui/gallery/historysheets.h"
#include "ui/gallery/lampsheet.h"
#include "ui/gallery/windowsheets.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The watcher keeps its last sync and identity in the settings; keep ours apart.
    QStandardPaths::setTestModeEnabled(true);
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    const QDir dir(QApplication::arguments().value(1, QStringLiteral(".")));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "ui_gallery: cannot make %s\n", qPrintable(dir.path()));
        return 1;
    }
    for (bool dark : {true, false}) {
        const QString path = dir.absoluteFilePath(
            QStringLiteral("ui-lamps-%1-bar.png").arg(dark ? "dark" : "light"));
        if (!saveLampSheet(path, dark)) {
            std::fprintf(stderr, "ui_gallery: cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return saveAlertSheets(dir, 2) && saveWindowSheets(dir, 2) && saveHistorySheets(dir, 2) ? 0 : 1;
}
