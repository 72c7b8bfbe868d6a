// CRC-32 (the polynomial of zlib and PNG), continued block by block, and the
// CRC of two pieces joined from the CRCs of each.
#ifndef MV_HOST_DETAIL_CRC32_H
#define MV_HOST_DETAIL_CRC32_H

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define MV_CRC32_CLMUL 1
#endif

namespace mv_detail {

// Table k gives the CRC of a byte followed by k zero bytes, so that sixteen
// bytes are folded in with sixteen lookups and no dependency between them
// ("slicing by sixteen"): several times the speed of one byte at a time.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr Crc32Tables makeCrc32Tables() {
  Crc32Tables t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][n] = c;
  }
  for (std::uint32_t n = 0; n < 256; ++n) {
    for (int k = 1; k < 16; ++k) t[k][n] = t[0][t[k - 1][n] & 0xFFu] ^ (t[k - 1][n] >> 8);
  }
  return t;
}

// Four bytes in file order as one little-endian word, on any byte order.
inline std::uint32_t crc32Word(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The table method on the inverted register c.
inline std::uint32_t crc32Tables(std::uint32_t c, const unsigned char* p, std::size_t n) {
  static constexpr Crc32Tables kT = makeCrc32Tables();
  for (; n >= 16; n -= 16, p += 16) {
    const std::uint32_t a = c ^ crc32Word(p);
    const std::uint32_t b = crc32Word(p + 4);
    const std::uint32_t d = crc32Word(p + 8);
    const std::uint32_t e = crc32Word(p + 12);
    c = kT[15][a & 0xFFu] ^ kT[14][(a >> 8) & 0xFFu] ^ kT[13][(a >> 16) & 0xFFu] ^ kT[12][a >> 24] ^
        kT[11][b & 0xFFu] ^ kT[10][(b >> 8) & 0xFFu] ^ kT[9][(b >> 16) & 0xFFu] ^ kT[8][b >> 24] ^
        kT[7][d & 0xFFu] ^ kT[6][(d >> 8) & 0xFFu] ^ kT[5][(d >> 16) & 0xFFu] ^ kT[4][d >> 24] ^
        kT[3][e & 0xFFu] ^ kT[2][(e >> 8) & 0xFFu] ^ kT[1][(e >> 16) & 0xFFu] ^ kT[0][e >> 24];
  }
  for (; n > 0; --n, ++p) c = kT[0][(c ^ *p) & 0xFFu] ^ (c >> 8);
  return c;
}

#ifdef MV_CRC32_CLMUL
inline __m128i crc32Load(const unsigned char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// x times k's high half, plus x times k's low half, plus next.
__attribute__((target("pclmul,sse4.1"))) inline __m128i crc32Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00)), next);
}

// Carry-less multiplication folds 64 bytes per step in four independent
// lanes, then folds the lanes into one and reduces it to 32 bits (Barrett);
// the constants are powers of x modulo the polynomial, bit-reflected. For
// n >= 64 and a multiple of 16, on the inverted register c.
__attribute__((target("pclmul,sse4.1"))) inline std::uint32_t crc32Clmul(std::uint32_t c, const unsigned char* p,
                                                                          std::size_t n) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596LL, 0x0154442bd4LL);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009eLL, 0x01751997d0LL);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124LL);
  const __m128i poly = _mm_set_epi64x(0x01f7011641LL, 0x01db710641LL);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  __m128i x1 = _mm_xor_si128(crc32Load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x2 = crc32Load(p + 16);
  __m128i x3 = crc32Load(p + 32);
  __m128i x4 = crc32Load(p + 48);
  p += 64;
  n -= 64;
  for (; n >= 64; n -= 64, p += 64) {
    x1 = crc32Fold(x1, k1k2, crc32Load(p));
    x2 = crc32Fold(x2, k1k2, crc32Load(p + 16));
    x3 = crc32Fold(x3, k1k2, crc32Load(p + 32));
    x4 = crc32Fold(x4, k1k2, crc32Load(p + 48));
  }
  x1 = crc32Fold(x1, k3k4, x2);
  x1 = crc32Fold(x1, k3k4, x3);
  x1 = crc32Fold(x1, k3k4, x4);
  for (; n >= 16; n -= 16, p += 16) x1 = crc32Fold(x1, k3k4, crc32Load(p));
  // 128 bits to 64, then to 32 with Barrett's reduction.
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), _mm_srli_si128(x1, 4));
  __m128i x2r = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
  x2r = _mm_clmulepi64_si128(_mm_and_si128(x2r, low32), poly, 0x00);
  return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, x2r), 1));
}

inline bool crc32HasClmul() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  }();
  return has;
}
#endif

// The CRC of the bytes that crc covered so far followed by these n bytes;
// start with crc = 0.
inline std::uint32_t crc32Update(std::uint32_t crc, const char* bytes, std::size_t n) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  std::uint32_t c = crc ^ 0xFFFFFFFFu;
#ifdef MV_CRC32_CLMUL
  if (n >= 64 && crc32HasClmul()) {
    const std::size_t folded = n & ~static_cast<std::size_t>(15);
    c = crc32Clmul(c, p, folded);
    p += folded;
    n -= folded;
  }
#endif
  return crc32Tables(c, p, n) ^ 0xFFFFFFFFu;
}

// a * b modulo the polynomial, both bit-reflected (x^0 in the top bit).
inline std::uint32_t crc32MultModP(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
    if (a & m) product ^= b;
    b = (b & 1u) ? (b >> 1) ^ 0xEDB88320u : b >> 1;
  }
  return product;
}

// x^(8 n) modulo the polynomial: the operator that moves a CRC past n zero
// bytes, built by squaring.
inline std::uint32_t crc32ZerosOperator(std::uint64_t n) {
  std::uint32_t power = 1u << 30;  // x^1
  std::uint32_t result = 1u << 31;  // x^0
  for (n *= 8; n != 0; n >>= 1) {
    if (n & 1u) result = crc32MultModP(power, result);
    power = crc32MultModP(power, power);
  }
  return result;
}

// The CRC of A followed by B from crcA, crcB and B's length, given the
// operator of that length (crc32ZerosOperator(lengthB)).
inline std::uint32_t crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint32_t zerosOperatorB) {
  return crc32MultModP(zerosOperatorB, crcA) ^ crcB;
}

}  // namespace mv_detail

#endif
