#include "host/MvGUID.h"

#include <cstdio>
#include <cstring>

bool MvGUID::isNull() const noexcept {
  for (unsigned char b : _iid.bytes)
    if (b) return false;
  return true;
}

bool MvGUID::operator==(const MvGUID& o) const noexcept {
  return std::memcmp(_iid.bytes, o._iid.bytes, sizeof _iid.bytes) == 0;
}

std::string MvGUID::toString() const {
  const unsigned char* b = _iid.bytes;
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2],
                b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}
