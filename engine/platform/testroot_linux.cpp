#include "engine/platform/testroot.h"

#include "contract/contract.h"

namespace Engine::Paths {

QString testRoot()
{
    return qEnvironmentVariable(contract::kTestRootVariable);
}

} // namespace Engine::Paths
