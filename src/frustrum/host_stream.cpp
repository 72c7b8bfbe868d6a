#include "frustrum/host_stream.h"

#include "base/current_host_stream.h"
#include "frustrum/MvFrustrum.h"

namespace mvkm {

int hostStreamWrite(const char* bytes, int count) {
  MvObjectStream* stream = gKmStream.stream.get();
  if (!stream || !stream->writeBytes(bytes, count)) return MV_FR_WRITE_FAILED;
  return MV_FR_OK;
}

int hostStreamRead(char* buffer, int count, int& delivered) {
  MvObjectStream* stream = gKmStream.stream.get();
  int current = 0;
  if (!stream || !stream->getPosition(current)) return MV_FR_READ_FAILED;
  // Widened so that a segment end far from the position cannot wrap.
  const long long available = static_cast<long long>(gKmStream.pos) - current;
  const int wanted = available < count ? static_cast<int>(available) : count;
  if (wanted < 1) return MV_FR_END_OF_DATA;
  int got = 0;
  if (!stream->readBytes(buffer, wanted, got) || got != wanted) return MV_FR_READ_FAILED;
  delivered = wanted;
  return MV_FR_OK;
}

}  // namespace mvkm
