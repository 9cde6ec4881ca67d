#include "tool/dispatch.h"

int main(int argc, char** argv)
{
    return tool::toolMain(argc, argv);
}
