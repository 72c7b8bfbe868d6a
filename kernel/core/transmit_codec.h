// The two encodings of transmit data and the texts their parsers report.
#ifndef KSAMPLE_CORE_TRANSMIT_CODEC_H
#define KSAMPLE_CORE_TRANSMIT_CODEC_H

#include <cstddef>
#include <string>
#include <vector>

#include "ksample/geometry.h"

namespace ksample {
namespace detail {

// First line of text data, and the first 8 bytes of binary data.
constexpr char kTextMagic[] = "KSAMPLE TRANSMIT TEXT\n";
constexpr char kBinaryMagic[] = "KSXMTBIN";
constexpr std::size_t kBinaryMagicSize = 8;

void encodeText(const std::vector<BodyRecord>& bodies, std::string& out);
void encodeBinary(const std::vector<BodyRecord>& bodies, std::string& out);
// Parse and validate; on failure set error and return false (bodies may
// hold partial results, which the caller discards).
bool parseText(const char* bytes, std::size_t n, std::vector<BodyRecord>& bodies,
               std::string& error);
bool parseBinary(const char* bytes, std::size_t n, std::vector<BodyRecord>& bodies,
                 std::string& error);

// Reports shared by both parsers.
std::string badVersion(unsigned long long version);
std::string badCount(unsigned long long count);
std::string badRecord(std::size_t index, const char* problem);
constexpr char kForeign[] = "data is not ksample transmit data";
constexpr char kTruncated[] = "transmit data is truncated";
constexpr char kTrailing[] = "trailing data after the checksum";
constexpr char kChecksum[] = "transmit data checksum mismatch";

// Whether the first n bytes of data are a proper beginning of magic.
bool isPrefixOf(const char* data, std::size_t n, const char* magic, std::size_t magicSize);

}  // namespace detail
}  // namespace ksample

#endif
