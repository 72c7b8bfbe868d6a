// The adapter's transmit record (docs/occt-format.md): a header line, the
// parts' names and colours, then all part shapes as one compound in OCCT's
// text or binary shape format.
#ifndef KOCCT_CORE_RECORD_H
#define KOCCT_CORE_RECORD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kocct/kernel.h"

namespace kocct {
namespace detail {

constexpr const char* kRecordMagic = "KOCCT-PARTS";
constexpr unsigned kRecordVersion = 1;
// Caps a receive enforces before it allocates for what a record announces.
constexpr unsigned kMaxRecordParts = 100000;
constexpr std::size_t kMaxNameBytes = 4096;
constexpr std::size_t kMaxRecordBytes = std::size_t(1) << 30;

// The record's checksum: Fletcher-64 over the bytes as little-endian 32-bit
// words, the last word padded with zero bytes.
std::uint64_t checksum(const char* bytes, std::size_t n);

// A record as written: its header line, then its body (the part list and
// the shape data), which the header's checksum covers.
struct Record {
  std::string header;
  std::string body;
};

// Encodes the parts as one record. May throw (std::bad_alloc, Standard_Failure).
Record encodeRecord(const std::vector<const Part*>& parts, Format format);

// Decodes and validates a whole record of the given format into parts; on a
// fault returns false with the reason in `error` and leaves parts empty.
// Every part it accepts passes validPart. May throw std::bad_alloc.
bool decodeRecord(const char* bytes, std::size_t n, Format format, std::vector<Part>& parts, std::string& error);

}  // namespace detail
}  // namespace kocct

#endif
