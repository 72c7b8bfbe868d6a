#include "errors.h"

#include "ksample/kernel.h"

namespace ksample {
namespace {

// A thread's error text is destroyed when the thread ends; on the main
// thread that happens before static objects are destroyed, whose
// destructors may still call the kernel. After that the text is gone: calls
// record nothing and lastError() is empty. The flag is trivially destroyed,
// so it stays readable until the thread's storage goes.
thread_local bool tErrorGone = false;

struct ThreadError {
  std::string text;
  ~ThreadError() { tErrorGone = true; }
};

// The calling thread's error text, or null once it is gone.
std::string* threadError() {
  if (tErrorGone) return nullptr;
  thread_local ThreadError error;
  return &error.text;
}

const std::string& noText() {
  // Never destroyed, so it outlives every caller.
  static const std::string* const none = new std::string();
  return *none;
}

}  // namespace

const std::string& lastError() {
  const std::string* text = threadError();
  return text ? *text : noText();
}

namespace detail {

void clearError() {
  if (std::string* text = threadError()) text->clear();
}

int fail(int code, const std::string& text) {
  std::string* error = threadError();
  if (!error) return code;
  // Assigning may throw only when the message outgrows the thread's buffer;
  // the texts are short, and a lost text must not hide the code.
  try {
    *error = text;
  } catch (...) {
    error->clear();
  }
  return code;
}

std::string noSuchBody(int tag) { return "body " + std::to_string(tag) + " does not exist"; }

}  // namespace detail
}  // namespace ksample
