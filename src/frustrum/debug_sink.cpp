// The host's receiver of the library's diagnostic lines.
#include "base/debug_output.h"
#include "frustrum/MvFrustrum.h"

extern "C" MVKM_API void mvSetDebugSink(void (*sink)(const char* line)) { mvkm::setDebugSink(sink); }
