#include "engine/enginepaths.h"

namespace Engine::Paths {

namespace {

QString testRoot()
{
#ifdef __APPLE__
    return {};
#else
    return qEnvironmentVariable("TESSAVEL_CONNECT_TEST_ROOT");
#endif
}

QString rooted(const QString& path)
{
    return testRoot() + path;
}

} // namespace

QString jobPlist()
{
    // The tool labels its self-test job apart from the real one; follow it there.
    return rooted(testRoot().isEmpty()
                      ? "/Library/LaunchDaemons/com.tessavel.connect.plist"
                      : "/Library/LaunchDaemons/com.tessavel.connect.selftest.plist");
}

QString beforeSetup()
{
    return rooted("/Library/Application Support/Tessavel Veridir/before-setup.plist");
}

QString stateDir()
{
    return rooted("/Library/Application Support/Tessavel Veridir");
}

QString statePath(const char* name)
{
    return stateDir() + "/" + QString::fromLatin1(name);
}

} // namespace Engine::Paths
