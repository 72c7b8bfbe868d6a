#include <cmath>
#include <mutex>
#include <utility>

#include "body_table.h"
#include "errors.h"
#include "ksample/kernel.h"

namespace ksample {
namespace {

bool validSize(double d) { return d > 0.0 && d <= kMaxCoordinate; }

int make(BodyKind kind, double a, double b, double c, const Transform& xf) {
  detail::clearError();
  const double dims[3] = {a, b, c};
  for (int i = 0; i < dimensionCountOf(kind); ++i) {
    if (!validSize(dims[i])) {
      detail::fail(kErrInvalidArgument, "invalid body size");
      return 0;
    }
  }
  if (!isRigid(xf)) {
    detail::fail(kErrInvalidArgument, "invalid transform");
    return 0;
  }
  BodyRecord body;
  body.kind = kind;
  for (int i = 0; i < dimensionCountOf(kind); ++i) body.dims[i] = dims[i];
  body.xf = xf;
  body.faceColors.assign(static_cast<std::size_t>(faceCountOf(kind)), kNoColor);
  int tag = 0;
  detail::addBody(std::move(body), tag);
  return tag;
}

}  // namespace

int makeBox(double dx, double dy, double dz, const Transform& xf) {
  return make(BodyKind::Box, dx, dy, dz, xf);
}

int makeCylinder(double radius, double height, const Transform& xf) {
  return make(BodyKind::Cylinder, radius, height, 0.0, xf);
}

int makeSphere(double radius, const Transform& xf) {
  return make(BodyKind::Sphere, radius, 0.0, 0.0, xf);
}

int copyBody(int tag, int& copy) {
  detail::clearError();
  copy = 0;
  BodyRecord record;
  if (!detail::snapshot(tag, record)) return kErrNoSuchBody;
  return detail::addBody(std::move(record), copy);
}

int deleteBodies(int count, const int* tags) {
  detail::clearError();
  if (count < 0 || (count > 0 && tags == nullptr)) {
    return detail::fail(kErrInvalidArgument, "invalid body list");
  }
  detail::BodyTable& t = detail::table();
  int missing = 0;
  bool anyMissing = false;
  {
    std::lock_guard<std::mutex> lock(t.mutex);
    for (int i = 0; i < count; ++i) {
      if (t.bodies.erase(tags[i]) == 0 && !anyMissing) {
        anyMissing = true;
        missing = tags[i];
      }
    }
  }
  return anyMissing ? detail::fail(kErrNoSuchBody, detail::noSuchBody(missing)) : kOk;
}

bool exists(int tag) {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.bodies.count(tag) != 0;
}

int bodyCount() {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return static_cast<int>(t.bodies.size());
}

bool sameBody(int tagA, int tagB) {
  detail::BodyTable& t = detail::table();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto a = t.bodies.find(tagA);
  const auto b = t.bodies.find(tagB);
  return a != t.bodies.end() && b != t.bodies.end() && sameRecord(a->second, b->second);
}

bool bodyRecord(int tag, BodyRecord& record) {
  detail::clearError();
  return detail::snapshot(tag, record);
}

int faceCount(int tag) {
  BodyRecord record;
  return bodyRecord(tag, record) ? faceCountOf(record.kind) : -1;
}

int edgeCount(int tag) {
  BodyRecord record;
  return bodyRecord(tag, record) ? edgeCountOf(record.kind) : -1;
}

}  // namespace ksample
