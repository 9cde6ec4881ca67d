// The fixed paths the application shares with the tool. On Linux builds they move under
// the test root, so that application, tool and stand-ins meet in one place.
#pragma once

#include <QString>

namespace Engine::Paths {

QString jobPlist();
QString beforeSetup();
QString stateDir();
QString statePath(const char* name);

} // namespace Engine::Paths
