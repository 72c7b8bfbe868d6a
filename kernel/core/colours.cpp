#include <mutex>
#include <string>

#include "body_table.h"
#include "errors.h"
#include "ksample/kernel.h"

namespace ksample {
namespace {

// Every "no colour" is stored as kNoColour so that equal bodies compare equal.
Rgba canonical(const Rgba& rgba) { return rgba[3] < 0.0f ? kNoColour : rgba; }

// Runs change on the body's record with the table locked.
template <class Change>
int withBody(int tag, Change change) {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.bodies.find(tag);
  if (it == t.bodies.end()) return detail::fail(kErrNoSuchBody, detail::noSuchBody(tag));
  return change(it->second);
}

}  // namespace

int setFaceColour(int tag, int faceIndex, const Rgba& rgba) {
  detail::clearError();
  if (!isValidColour(rgba)) return detail::fail(kErrInvalidArgument, "invalid colour");
  return withBody(tag, [&](BodyRecord& body) {
    if (faceIndex < 0 || faceIndex >= faceCountOf(body.kind)) {
      return detail::fail(kErrInvalidArgument, "face index " + std::to_string(faceIndex) +
                                                   " is out of range for body " +
                                                   std::to_string(tag));
    }
    body.faceColours[static_cast<std::size_t>(faceIndex)] = canonical(rgba);
    return static_cast<int>(kOk);
  });
}

int setBodyColour(int tag, const Rgba& rgba) {
  detail::clearError();
  if (!isValidColour(rgba)) return detail::fail(kErrInvalidArgument, "invalid colour");
  return withBody(tag, [&](BodyRecord& body) {
    body.bodyColour = canonical(rgba);
    body.hasBodyColour = !(rgba[3] < 0.0f);
    return static_cast<int>(kOk);
  });
}

int clearBodyColour(int tag) { return setBodyColour(tag, kNoColour); }

bool bodyColour(int tag, Rgba& rgba) {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.bodies.find(tag);
  if (it == t.bodies.end() || !it->second.hasBodyColour) return false;
  rgba = it->second.bodyColour;
  return true;
}

}  // namespace ksample
