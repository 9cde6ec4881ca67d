#include "engine/enginepaths.h"

#include "contract/contract.h"
#include "engine/platform/testroot.h"

namespace Engine::Paths {

QString jobPlist()
{
    // The tool labels its self-test job apart from the real one; follow it there.
    const QString root = testRoot();
    const QString suffix = root.isEmpty() ? QString() : QString(contract::kSelfTestSuffix);
    return root + contract::kLaunchDaemonsDir + "/" + contract::kLabel + suffix + ".plist";
}

QString beforeSetup()
{
    return statePath(contract::kBeforeSetupFile);
}

QString stateDir()
{
    return testRoot() + contract::kStateDir;
}

QString statePath(const char* name)
{
    return stateDir() + "/" + QString::fromLatin1(name);
}

} // namespace Engine::Paths
