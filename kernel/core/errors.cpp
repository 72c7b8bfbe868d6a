#include "errors.h"

#include <algorithm>
#include <cstring>

#include "ksample/kernel.h"

namespace ksample {
namespace {

// The calling thread's last error text, kept in a fixed buffer so that the
// record is trivially destroyed. Nothing then has to run when a thread ends:
// the text stays readable for as long as the thread's storage lasts, also
// from destructors of other thread_local objects (mingw-w64 frees a thread's
// storage before it runs those destructors, so a heap-backed text would be
// destroyed after its memory is gone), and recording never allocates.
struct ThreadError {
  static constexpr std::size_t kCapacity = 255;
  char text[kCapacity + 1];
  std::size_t length;
};

thread_local ThreadError tError{};

}  // namespace

std::string lastError() { return std::string(tError.text, tError.length); }

namespace detail {

void clearError() { tError.length = 0; }

int fail(int code, const std::string& text) {
  // Texts longer than the buffer keep their beginning; the kernel's own
  // texts are far shorter.
  const std::size_t length = std::min(text.size(), ThreadError::kCapacity);
  std::memcpy(tError.text, text.data(), length);
  tError.length = length;
  return code;
}

std::string noSuchBody(int tag) { return "body " + std::to_string(tag) + " does not exist"; }

}  // namespace detail
}  // namespace ksample
