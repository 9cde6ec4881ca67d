#include "engine/platform/testroot.h"

namespace Engine::Paths {

QString testRoot()
{
    return {};
}

} // namespace Engine::Paths
