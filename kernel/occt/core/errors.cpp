#include <algorithm>
#include <cstring>

#include "internal.h"

namespace kocct {
namespace {

// The calling thread's last error in a fixed buffer: recording never
// allocates, and nothing has to run when the thread ends.
struct ThreadError {
  static constexpr std::size_t kCapacity = 511;
  char text[kCapacity + 1];
  std::size_t length;
};

thread_local ThreadError tError{};

}  // namespace

std::string lastError() { return std::string(tError.text, tError.length); }

namespace detail {

void clearError() { tError.length = 0; }

int fail(int code, const std::string& text) {
  const std::size_t length = std::min(text.size(), ThreadError::kCapacity);
  std::memcpy(tError.text, text.data(), length);
  tError.length = length;
  return code;
}

std::string noSuchPart(int tag) { return "part " + std::to_string(tag) + " does not exist"; }

}  // namespace detail
}  // namespace kocct
