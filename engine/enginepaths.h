// The fixed paths the application shares with the tool. On Linux builds they move under
// TESSAVEL_CONNECT_TEST_ROOT, so that application, tool and stand-ins meet in one test root;
// macOS builds never read it.
#pragma once

#include <QString>

namespace Engine::Paths {

QString jobPlist();
QString beforeSetup();
QString stateDir();
QString statePath(const char* name);

} // namespace Engine::Paths
