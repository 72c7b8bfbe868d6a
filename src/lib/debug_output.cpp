#include "lib/debug_output.h"

#include "frustrum/MvFrustrum.h"
#include "lib/platform.h"

#include <atomic>

namespace {
std::atomic<void (*)(const char*)> gSink{nullptr};
}

namespace mvkm {

void debugOutput(const char* line) {
  if (void (*sink)(const char*) = gSink.load(std::memory_order_acquire)) sink(line);
  platformDebugString(line);
}

}  // namespace mvkm

extern "C" void mvSetDebugSink(void (*sink)(const char* line)) {
  gSink.store(sink, std::memory_order_release);
}
