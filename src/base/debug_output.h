// The library's diagnostic lines: to the host's sink when one is set, and to
// the platform's debug output.
#ifndef MVKM_BASE_DEBUG_OUTPUT_H
#define MVKM_BASE_DEBUG_OUTPUT_H

namespace mvkm {

void debugOutput(const char* line);
// Sets the host's sink (null removes it); the frustrum's mvSetDebugSink
// hands it on.
void setDebugSink(void (*sink)(const char* line));

}  // namespace mvkm

#endif
