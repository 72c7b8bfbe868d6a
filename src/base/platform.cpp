#include "base/platform.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdio>
#include <cstdlib>
#endif

namespace mvkm {

void platformDebugString(const char* line) {
#if defined(_WIN32)
  OutputDebugStringA(line);
#else
  const char* on = std::getenv("MV_DEBUG_OUTPUT");
  if (on && *on) std::fputs(line, stderr);
#endif
}

}  // namespace mvkm
