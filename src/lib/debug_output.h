// The library's diagnostic lines: to the host's sink when one is set
// (mvSetDebugSink), and to the platform's debug output.
#ifndef MVKM_LIB_DEBUG_OUTPUT_H
#define MVKM_LIB_DEBUG_OUTPUT_H

namespace mvkm {

void debugOutput(const char* line);

}  // namespace mvkm

#endif
