// The build identity stamped into the library's writable data: each value
// stands directly behind its 32-character marker, so that release tools can
// find and restamp it in the built file.
#include "lib/build_identity.h"

#include <cstring>

namespace {

struct StampedText {
  char marker[32];
  char value[97];
};

struct StampedStatus {
  char marker[32];
  char value[2];
};

// Not const: the values are patched in the built file, so they must sit in
// the writable data section with their markers and be read at run time.
// `used` keeps them in the file even when the linker sees no other reader.
#if defined(__GNUC__)
#define MVKM_STAMP __attribute__((used))
#else
#define MVKM_STAMP
#endif

MVKM_STAMP StampedText gVersion = {
    {'_', '_', '_', '_', '_', '_', '_', 'Q', 'O', 'B', '_', 'V', 'E', 'R', 'S', 'I',
     'O', 'N', '_', 'M', 'A', 'R', 'K', 'E', 'R', '_', '_', '_', '_', '_', '_', '_'},
    "6.1.1.0"};
MVKM_STAMP StampedText gBuild = {
    {'_', '_', '_', '_', '_', '_', '_', '_', 'Q', 'O', 'B', '_', 'B', 'U', 'I', 'L',
     'D', '_', 'M', 'A', 'R', 'K', 'E', 'R', '_', '_', '_', '_', '_', '_', '_', '_'},
    "51026"};
MVKM_STAMP StampedStatus gStatus = {
    {'_', '_', '_', '_', '_', '_', '_', 'Q', 'O', 'B', '_', 'S', 'T', 'A', 'T', 'U',
     'S', '_', 'M', 'A', 'R', 'K', 'E', 'R', '_', '_', '_', '_', '_', '_', '_', '_'},
    "R"};

// Reads through a volatile pointer so the compiler cannot fold the shipped
// values into the code: a restamped file must report its new values.
const char* readStamp(const char* value) {
  const char* volatile p = value;
  return p;
}

}  // namespace

namespace mvkm {

const char* stampedVersion() { return readStamp(gVersion.value); }

const char* stampedBuild() { return readStamp(gBuild.value); }

char stampedStatus() { return *readStamp(gStatus.value); }

}  // namespace mvkm
