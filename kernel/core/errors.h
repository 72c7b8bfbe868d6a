// Sets the calling thread's last error text.
#ifndef KSAMPLE_CORE_ERRORS_H
#define KSAMPLE_CORE_ERRORS_H

#include <string>

namespace ksample {
namespace detail {

// Clears the calling thread's last error (every fallible call starts here).
void clearError();
// Records text as the calling thread's last error and returns code.
int fail(int code, const std::string& text);
// The message for a tag that names no body.
std::string noSuchBody(int tag);

}  // namespace detail
}  // namespace ksample

#endif
