#include "tool/commands.h"

#include "contract/contract.h"
#include "generated/platformprograms.h"
#include "tool/atomicfile.h"
#include "tool/fileops.h"
#include "tool/jobs.h"
#include "tool/plistfile.h"
#include "tool/plumbing.h"
#include "tool/timesettings.h"
#include "tool/values.h"

namespace tool {

namespace {

bool anythingSetUp()
{
    for (const std::string* path :
         {&kPlistPath, &kSetTimePlistPath, &kInstalledBin, &kLegacyBin, &kStateDir}) {
        if (pathExists(*path)) return true;
    }
    return jobIsLoaded(kLabel) || jobIsLoaded(kSetTimeLabel);
}

} // namespace

void cmdRemove()
{
    requireRoot("remove");
    if (!anythingSetUp()) {
        println("Tessavel Veridir is not set up on this Mac. Nothing was changed.");
        return;
    }
    println("Removing Tessavel Veridir");
    run(kLaunchctl, {"bootout", kDomain + "/" + kLabel});
    run(kLaunchctl, {"bootout", kDomain + "/" + kSetTimeLabel});
    for (const std::string* path : {&kSetTimePlistPath, &kPlistPath, &kInstalledBin, &kLegacyBin})
        removeFile(*path);
    // What an install stopped mid-way left: partial copies of the tool and of job files.
    for (const std::string* path : {&kSetTimePlistPath, &kPlistPath, &kInstalledBin})
        removeLeftoverTemporaries(*path);

    const Plist record = readPlistDict(kStatePath);
    const auto recorded = record ? dictString(record.get(), "timeServer") : std::nullopt;
    const std::string server = recorded ? *recorded : contract::kPlatformDefaultTimeServer;
    setTimeServer(server);
    // Automatic time goes off again only where the record says it was off.
    if (record && dictBool(record.get(), "usingNetworkTime") == false) setUsingNetworkTime(false);

    removeTree(kStateDir);
    println("Removed. Time server set back to " + server + " " +
            (recorded ? "(what this Mac had before setup)." : "(Apple's default)."));
}

} // namespace tool
