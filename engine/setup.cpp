// What the application reads of the installed setup, and the password-free sync request.
#include "engine/engine.h"

#include "contract/plistread.h"

#include "engine/enginefiles.h"
#include "engine/enginepaths.h"

#include <QFile>

namespace Engine {

QString serverInJobPlist(const QString& plistPath)
{
    // The tool's own reader: the platform may have rewritten the job in binary.
    QFile f(plistPath);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.read(contract::kMaxPlistBytes + 1);
    const contract::Plist job = contract::parsePlistDict(bytes.toStdString());
    const auto server = job ? contract::jobServer(job.get()) : std::nullopt;
    return server ? QString::fromStdString(*server).trimmed() : QString();
}

Setup currentSetup()
{
    return {serverInJobPlist(Paths::jobPlist()), QFile::exists(Paths::beforeSetup())};
}

bool syncNowWithoutPassword()
{
    return writeIntoExisting(Paths::statePath(contract::kSyncNowFile), "now\n");
}

} // namespace Engine
