// The tool's commands. Each returns the process exit code and throws
// ToolError for a failure to report in one line.
#ifndef KMBREP_COMMANDS_H
#define KMBREP_COMMANDS_H

#include "app/sample_app.h"
#include "kmbrep/kernels.h"

#include <string>
#include <vector>

namespace kmbrep {

using Args = std::vector<std::string>;

// The most triangles an export makes unless --max-triangles allows more:
// some 3.5 GB at the peak of an OBJ export (about 180 bytes a triangle).
// The kernel counts them before any is made.
constexpr long long kDefaultMaxTriangles = 20000000;

int runDemo(const Args& args);
int runInfo(const Args& args);
int runExport(const Args& args);
int runTransmit(const Args& args);
int runImport(const Args& args);
int runView(const Args& args);
int runConvert(const Args& args);

// Starts the library and a kernel (the sample kernel unless the data is
// another's) for one command; throws ToolError when it cannot.
class Session {
 public:
  explicit Session(Kernel kernel = Kernel::Sample);

 private:
  KernelSession _kernel;
};

// A usage error: the command line itself is wrong.
struct UsageError {
  std::string message;
};

}  // namespace kmbrep

#endif
