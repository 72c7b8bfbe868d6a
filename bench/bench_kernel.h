// The benchmark's stand-in for the kernel: write and read callbacks that
// drive the frustrum entry points directly, transmitting a fixed number of
// bytes in 4 KiB blocks, either into the current host stream (empty key) or
// into a kernel file (a key).
#ifndef MV_BENCH_BENCH_KERNEL_H
#define MV_BENCH_BENCH_KERNEL_H

#include "MvKMBrep61.h"

#include <string>

namespace mvbench {

constexpr int kBlockBytes = 4096;
constexpr long long kSegmentBytes = 64LL << 20;
constexpr int kSegmentBlocks = static_cast<int>(kSegmentBytes / kBlockBytes);

// The block the kernel writes again and again (a fixed pattern), and the
// buffer it reads blocks into; baselines use the same two.
const char* transmitBlock();
char* receiveBuffer();

// Starts the library, the frustrum and registers the benchmark kernel's
// callbacks (write, read, version, memory release, release). Idempotent.
void installBenchKernel();

// The kernel's transmit through the frustrum: opens a stream for writing
// under `key` (empty: the current host stream), writes kSegmentBlocks
// blocks and closes it. False when any call reports a failure.
bool kernelTransmit(const std::string& key);
// The kernel's receive: opens a stream for reading under `key`, reads
// blocks until end of data and closes it; `bytes` is what arrived.
bool kernelReceive(const std::string& key, long long& bytes);

// A directory for the benchmark's files (created on first use).
const std::string& scratchDirectory();

// A new element owning one part (tag 1), transmitted by the bench kernel.
MvAutoPtr<MvKMBrep> makeElement();

}  // namespace mvbench

#endif
