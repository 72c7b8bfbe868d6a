// The kernel's transmit data: a list of body records in a text or a binary
// form, each with a magic, a format version, a body count and a CRC-32 over
// the content. docs/kernel-format.md describes both forms byte by byte.
#ifndef KSAMPLE_TRANSMIT_FORMAT_H
#define KSAMPLE_TRANSMIT_FORMAT_H

#include <cstddef>
#include <string>
#include <vector>

#include "ksample/geometry.h"

namespace ksample {

enum class Format : int { Binary = 1, Text = 2 };

constexpr unsigned kTransmitFormatVersion = 1;
// Largest body count and data size a receive accepts, so that a hostile
// count cannot make it allocate without bound.
constexpr unsigned kMaxTransmitBodies = 100000;
constexpr std::size_t kMaxTransmitBytes = std::size_t(128) << 20;

// CRC-32 (IEEE 802.3, reflected, initial and final xor 0xFFFFFFFF).
unsigned crc32(const char* bytes, std::size_t n);

// Encodes the records as given (at most kMaxTransmitBodies of them, as a
// receive accepts no more). May throw std::bad_alloc.
std::string encodeTransmit(const std::vector<BodyRecord>& bodies, Format format);

// Decodes and validates transmit data of the given format. On success fills
// bodies (replacing its content) and returns true; otherwise leaves bodies
// empty, sets error to the reason and returns false. Every record it accepts
// satisfies isValidRecord. It never allocates more than a small multiple of
// n bytes; only std::bad_alloc can escape it.
bool parseTransmit(const char* bytes, std::size_t n, Format format, std::vector<BodyRecord>& bodies,
                   std::string& error);

}  // namespace ksample

#endif
