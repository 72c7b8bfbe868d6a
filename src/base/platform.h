// Platform shims: the Windows calls the library makes, with their
// equivalents elsewhere.
#ifndef MVKM_BASE_PLATFORM_H
#define MVKM_BASE_PLATFORM_H

namespace mvkm {

// A diagnostic line for the debugger: OutputDebugStringA on Windows;
// elsewhere standard error, only while the environment variable
// MV_DEBUG_OUTPUT is set and not empty.
void platformDebugString(const char* line);

}  // namespace mvkm

#endif
