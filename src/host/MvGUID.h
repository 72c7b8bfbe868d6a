// Type identifiers: 16-byte GUIDs in the standard byte order (first group as
// a little-endian 32-bit number, the next two as little-endian 16-bit
// numbers, then eight bytes as written).
#ifndef MV_HOST_GUID_H
#define MV_HOST_GUID_H

#include "host/MvExport.h"

#include <cstdint>
#include <string>

struct _MvIID {
  unsigned char bytes[16];
};

// The identifier {d1-d2-d3-d4[0]d4[1]-d4[2..7]} in standard byte order.
constexpr _MvIID mvMakeIID(uint32_t d1, uint16_t d2, uint16_t d3, uint8_t a, uint8_t b, uint8_t c,
                           uint8_t d, uint8_t e, uint8_t f, uint8_t g, uint8_t h) {
  return _MvIID{{static_cast<unsigned char>(d1), static_cast<unsigned char>(d1 >> 8),
                 static_cast<unsigned char>(d1 >> 16), static_cast<unsigned char>(d1 >> 24),
                 static_cast<unsigned char>(d2), static_cast<unsigned char>(d2 >> 8),
                 static_cast<unsigned char>(d3), static_cast<unsigned char>(d3 >> 8), a, b, c, d, e,
                 f, g, h}};
}

class MV61_API MvGUID {
 public:
  MvGUID() : _iid{} {}
  explicit MvGUID(const _MvIID& iid) : _iid(iid) {}

  const unsigned char* bytes() const noexcept { return _iid.bytes; }
  bool isNull() const noexcept;
  bool operator==(const MvGUID& o) const noexcept;
  bool operator!=(const MvGUID& o) const noexcept { return !(*this == o); }
  // "{873A70E0-2AC9-11D1-9B6B-0080C7BB5997}" form.
  std::string toString() const;

 private:
  _MvIID _iid;
};

#endif
