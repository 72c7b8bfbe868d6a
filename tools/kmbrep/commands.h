// The tool's commands. Each returns the process exit code and throws
// ToolError for a failure to report in one line.
#ifndef KMBREP_COMMANDS_H
#define KMBREP_COMMANDS_H

#include <string>
#include <vector>

namespace kmbrep {

using Args = std::vector<std::string>;

int runDemo(const Args& args);
int runInfo(const Args& args);
int runExport(const Args& args);
int runTransmit(const Args& args);
int runImport(const Args& args);

// A usage error: the command line itself is wrong.
struct UsageError {
  std::string message;
};

}  // namespace kmbrep

#endif
