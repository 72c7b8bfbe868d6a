#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "body_table.h"
#include "errors.h"
#include "ksample/kernel.h"
#include "shape_math.h"

namespace ksample {
namespace {

constexpr int kSegmentBody = 0;
constexpr int kSegmentPolyline = 1;
constexpr int kRenderCircleSegments = 64;

// The arguments of the open and close calls: (0, tag, {edge count}, 0,
// {0.0}, 0, {0}).
struct BodySegment {
  int type = kSegmentBody;
  int tag = 0;
  int edges[1] = {0};
  int zero[1] = {0};
  double origin[1] = {0.0};
};

// Closes an opened segment on every way out, reporting the close's status
// into status unless a failure is already there.
class SegmentCloser {
 public:
  SegmentCloser(const Frustrum& f, const BodySegment& s, int& status)
      : f_(f), s_(s), status_(status) {}
  ~SegmentCloser() {
    int ifail = kFrOk;
    f_.closeSegment(&s_.type, &s_.tag, s_.edges, s_.zero, s_.origin, s_.zero, s_.zero, &ifail);
    if (status_ == kFrOk) status_ = ifail;
  }
  SegmentCloser(const SegmentCloser&) = delete;
  SegmentCloser& operator=(const SegmentCloser&) = delete;

 private:
  const Frustrum& f_;
  const BodySegment& s_;
  int& status_;
};

// One output call per edge: (1, tag, {edge index}, point count, xyz, closed,
// {face A, face B}); stops at the first failure.
int outputEdges(const Frustrum& f, int tag, const std::vector<detail::EdgeCurve>& edges) {
  const int type = kSegmentPolyline;
  for (std::size_t e = 0; e < edges.size(); ++e) {
    const int index[1] = {static_cast<int>(e)};
    const int points = static_cast<int>(edges[e].xyz.size() / 3);
    const int closed = edges[e].closed ? 1 : 0;
    int ifail = kFrOk;
    f.outputSegment(&type, &tag, index, &points, edges[e].xyz.data(), &closed, edges[e].faces,
                    &ifail);
    if (ifail != kFrOk) return ifail;
  }
  return kFrOk;
}

int drawEdges(int tag) {
  Frustrum f{};
  if (!detail::sessionFrustrum(f)) return kErrNotStarted;
  BodyRecord body;
  if (!detail::snapshot(tag, body)) return kErrNoSuchBody;
  std::vector<detail::EdgeCurve> edges;
  detail::edgeCurves(body, body.kind == BodyKind::Box ? 0 : kRenderCircleSegments, edges);

  BodySegment segment;
  segment.tag = tag;
  segment.edges[0] = static_cast<int>(edges.size());
  std::lock_guard<std::recursive_mutex> io(detail::frustrumMutex());
  int status = kFrOk;
  f.openSegment(&segment.type, &segment.tag, segment.edges, segment.zero, segment.origin,
                segment.zero, segment.zero, &status);
  if (status == kFrOk) {
    SegmentCloser closer(f, segment, status);
    status = outputEdges(f, tag, edges);
  }
  if (status != kFrOk) {
    detail::fail(status, "graphical output failed with status " + std::to_string(status));
  }
  return status;
}

}  // namespace

int render(int tag) {
  detail::clearError();
  try {
    return drawEdges(tag);
  } catch (const std::bad_alloc&) {
    return detail::fail(kErrNoMemory, "out of memory");
  }
}

}  // namespace ksample
