#include "errors.h"

#include "ksample/kernel.h"

namespace ksample {
namespace {

std::string& threadError() {
  thread_local std::string text;
  return text;
}

}  // namespace

const std::string& lastError() { return threadError(); }

namespace detail {

void clearError() { threadError().clear(); }

int fail(int code, const std::string& text) {
  // Assigning may throw only when the message outgrows the thread's buffer;
  // the texts are short, and a lost text must not hide the code.
  try {
    threadError() = text;
  } catch (...) {
    threadError().clear();
  }
  return code;
}

std::string noSuchBody(int tag) { return "body " + std::to_string(tag) + " does not exist"; }

}  // namespace detail
}  // namespace ksample
