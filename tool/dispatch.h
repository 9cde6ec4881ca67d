// The tool's entry: computes the process-wide values and runs the command the line names.
#pragma once

namespace tool {

int toolMain(int argc, char** argv);

} // namespace tool
