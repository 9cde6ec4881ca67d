// What the application reads of the installed setup, and the password-free sync request.
#include "engine/engine.h"

#include "engine/enginefiles.h"
#include "engine/enginepaths.h"

#include <QFile>
#include <QXmlStreamReader>

namespace Engine {

QString serverInJobPlist(const QString& plistPath)
{
    QFile f(plistPath);
    if (!f.open(QIODevice::ReadOnly)) return {};
    // No plist parser: the server is simply the string that follows "--server".
    QXmlStreamReader xml(&f);
    QString previous;
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("string"))
            continue;
        const QString text = xml.readElementText();
        if (previous == QLatin1String("--server")) return text.trimmed();
        previous = text;
    }
    return {};
}

Setup currentSetup()
{
    return {serverInJobPlist(Paths::jobPlist()), QFile::exists(Paths::beforeSetup())};
}

bool syncNowWithoutPassword()
{
    return writeIntoExisting(Paths::statePath("sync-now"), "now\n");
}

} // namespace Engine
