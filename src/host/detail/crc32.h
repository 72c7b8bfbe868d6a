// CRC-32 (the polynomial of zlib and PNG), continued block by block.
#ifndef MV_HOST_DETAIL_CRC32_H
#define MV_HOST_DETAIL_CRC32_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace mv_detail {

constexpr std::array<std::uint32_t, 256> makeCrc32Table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

// The CRC of the bytes that crc covered so far followed by these n bytes;
// start with crc = 0.
inline std::uint32_t crc32Update(std::uint32_t crc, const char* bytes, std::size_t n) {
  static constexpr std::array<std::uint32_t, 256> kTable = makeCrc32Table();
  std::uint32_t c = crc ^ 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) c = kTable[(c ^ static_cast<unsigned char>(bytes[i])) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

}  // namespace mv_detail

#endif
