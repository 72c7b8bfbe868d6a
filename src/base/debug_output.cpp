#include "base/debug_output.h"

#include "base/platform.h"

#include <atomic>

namespace mvkm {
namespace {
std::atomic<void (*)(const char*)> gSink{nullptr};
}

void debugOutput(const char* line) {
  if (void (*sink)(const char*) = gSink.load(std::memory_order_acquire)) sink(line);
  platformDebugString(line);
}

void setDebugSink(void (*sink)(const char* line)) { gSink.store(sink, std::memory_order_release); }

}  // namespace mvkm
