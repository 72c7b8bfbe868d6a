// The machine's floor for moving bytes through the page cache: raw write()
// and read() calls of 1 MiB on a file.
#ifndef MV_BENCH_RAW_IO_H
#define MV_BENCH_RAW_IO_H

#include <string>

namespace mvbench {

constexpr int kRawCallBytes = 1 << 20;

// Writes `bytes` bytes (the transmit block's pattern) to `name` in 1 MiB
// write() calls, with fsync() before the close when `sync`, then reads them
// back in 1 MiB read() calls. False on any failure or short file.
bool rawWriteRead(const std::string& name, long long bytes, bool sync);
// The write half alone, and the read half alone.
bool rawWrite(const std::string& name, long long bytes, bool sync);
bool rawRead(const std::string& name, long long bytes);

}  // namespace mvbench

#endif
