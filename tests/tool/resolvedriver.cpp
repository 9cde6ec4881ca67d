// Runs the tool's server choice for install as it stands, for tests: prints "ip|name".
#include "tool/discovery/tooldiscovery.h"
#include "tool/values.h"

#include <iostream>

int main(int argc, char** argv)
{
    tool::setValues(tool::computeValues(tool::currentProcessFacts(argc, argv)));
    const auto chosen = tool::resolveServer();
    std::cout << "chosen: " << chosen.ip << "|" << chosen.name.value_or("<none>") << "\n";
    return 0;
}
