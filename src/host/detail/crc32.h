// CRC-32 (the polynomial of zlib and PNG), continued block by block.
#ifndef MV_HOST_DETAIL_CRC32_H
#define MV_HOST_DETAIL_CRC32_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace mv_detail {

// Table k gives the CRC of a byte followed by k zero bytes, so that eight
// bytes are folded in with eight lookups and no dependency between them
// ("slicing by eight"): several times the speed of one byte at a time.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Crc32Tables makeCrc32Tables() {
  Crc32Tables t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (std::uint32_t n = 0; n < 256; ++n) {
    for (int k = 1; k < 8; ++k) t[k][n] = t[0][t[k - 1][n] & 0xFFu] ^ (t[k - 1][n] >> 8);
  }
  return t;
}

// The CRC of the bytes that crc covered so far followed by these n bytes;
// start with crc = 0.
inline std::uint32_t crc32Update(std::uint32_t crc, const char* bytes, std::size_t n) {
  static constexpr Crc32Tables kT = makeCrc32Tables();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  std::uint32_t c = crc ^ 0xFFFFFFFFu;
  for (; n >= 8; n -= 8, p += 8) {
    // Bytes are combined in file order, so the result is the same on any
    // byte order.
    const std::uint32_t lo = c ^ (static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                  static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    c = kT[7][lo & 0xFFu] ^ kT[6][(lo >> 8) & 0xFFu] ^ kT[5][(lo >> 16) & 0xFFu] ^ kT[4][lo >> 24] ^
        kT[3][p[4]] ^ kT[2][p[5]] ^ kT[1][p[6]] ^ kT[0][p[7]];
  }
  for (; n > 0; --n, ++p) c = kT[0][(c ^ *p) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

}  // namespace mv_detail

#endif
