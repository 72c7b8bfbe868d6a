#include <mutex>
#include <string>

#include "body_table.h"
#include "errors.h"
#include "ksample/kernel.h"

namespace ksample {
namespace {

// Every "no colour" is stored as kNoColour so that equal bodies compare equal.
Rgba canonical(const Rgba& rgba) { return rgba[3] < 0.0f ? kNoColor : rgba; }

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

int setFaceColor(int tag, int faceIndex, const Rgba& rgba) {
  detail::clearError();
  if (!isValidColor(rgba)) return detail::fail(kErrInvalidArgument, "invalid colour");
  return withBody(tag, [&](BodyRecord& body) {
    if (faceIndex < 0 || faceIndex >= faceCountOf(body.kind)) {
      return detail::fail(kErrInvalidArgument, "face index " + std::to_string(faceIndex) +
                                                   " is out of range for body " +
                                                   std::to_string(tag));
    }
    body.faceColors[static_cast<std::size_t>(faceIndex)] = canonical(rgba);
    return static_cast<int>(kOk);
  });
}

int setBodyColor(int tag, const Rgba& rgba) {
  detail::clearError();
  if (!isValidColor(rgba)) return detail::fail(kErrInvalidArgument, "invalid colour");
  return withBody(tag, [&](BodyRecord& body) {
    body.bodyColor = canonical(rgba);
    body.hasBodyColor = !(rgba[3] < 0.0f);
    return static_cast<int>(kOk);
  });
}

int clearBodyColor(int tag) { return setBodyColor(tag, kNoColor); }

bool bodyColor(int tag, Rgba& rgba) {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.bodies.find(tag);
  if (it == t.bodies.end() || !it->second.hasBodyColor) return false;
  rgba = it->second.bodyColor;
  return true;
}

}  // namespace ksample
