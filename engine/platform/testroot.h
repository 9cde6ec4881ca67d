#pragma once
// The folder in front of the tool's fixed paths: the test root on Linux, where application,
// tool and stand-ins meet in one; nothing on the Mac, which never reads it.

#include <QString>

namespace Engine::Paths {

QString testRoot();

} // namespace Engine::Paths
