// The part table: session, tags, adding, copying and deleting parts.
#include <climits>
#include <cmath>

#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Standard_Version.hxx>
#include <BRep_Tool.hxx>
#include <TopExp.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopTools_IndexedMapOfShape.hxx>

#include "internal.h"

namespace kocct {
namespace detail {

State& state() {
  static State s;
  return s;
}

const Part* findPart(State& s, int tag) {
  const auto it = s.parts.find(tag);
  if (it == s.parts.end()) {
    fail(kErrNoSuchPart, noSuchPart(tag));
    return nullptr;
  }
  return &it->second;
}

int enterParts(State& s, std::vector<Part>& parts, int* tags) {
  if (!s.started) return fail(kErrNotStarted, "no kernel session is running");
  const std::int64_t n = static_cast<std::int64_t>(parts.size());
  if (s.nextTag + n - 1 > INT_MAX) return fail(kErrNoTagsLeft, "no tags left");
  std::map<int, Part> fresh;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    tags[i] = static_cast<int>(s.nextTag + static_cast<std::int64_t>(i));
    fresh.emplace(tags[i], std::move(parts[i]));
  }
  s.parts.merge(fresh);
  s.nextTag += n;
  return kOk;
}

int faceCountOf(const TopoDS_Shape& shape) {
  TopTools_IndexedMapOfShape faces;
  TopExp::MapShapes(shape, TopAbs_FACE, faces);
  return faces.Extent();
}

namespace {
bool validColor(const Rgba& c) {
  if (!c.isSet()) return true;
  for (float v : {c.r, c.g, c.b, c.a})
    if (!(v >= 0.0f && v <= 1.0f)) return false;
  return true;
}
}  // namespace

bool validPart(const Part& part, std::string& why) {
  if (part.shape.IsNull()) {
    why = "the shape is null";
    return false;
  }
  return validPart(part, faceCountOf(part.shape), why);
}

bool validPart(const Part& part, int faces, std::string& why) {
  if (faces == 0) {
    why = "the shape has no face";
    return false;
  }
  if (!part.faceColors.empty() && part.faceColors.size() != static_cast<std::size_t>(faces)) {
    why = "face colours for " + std::to_string(part.faceColors.size()) + " faces, the shape has " +
          std::to_string(faces);
    return false;
  }
  if (!validColor(part.color)) {
    why = "invalid part colour";
    return false;
  }
  for (const Rgba& c : part.faceColors) {
    if (!validColor(c)) {
      why = "invalid face colour";
      return false;
    }
  }
  return true;
}

}  // namespace detail

using detail::fail;
using detail::state;

int versionMajor() { return OCC_VERSION_MAJOR; }
int versionMinor() { return OCC_VERSION_MINOR; }

int version(int& major, int& minor) {
  detail::clearError();
  major = versionMajor();
  minor = versionMinor();
  return kOk;
}

int startSession(const ksample::Frustrum& f) {
  detail::clearError();
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  if (s.started) return fail(kErrAlreadyStarted, "a kernel session is already running");
  if (!f.startFileFrustrum || !f.stopFileFrustrum || !f.abortFileFrustrum || !f.openWriteFrustrumFile ||
      !f.openReadFrustrumFile || !f.writeToFrustrumFile || !f.readFromFrustrumFile || !f.closeFrustrumFile ||
      !f.openSegment || !f.outputSegment || !f.closeSegment) {
    return fail(kErrInvalidArgument, "incomplete frustrum table");
  }
  return detail::guarded([&] {
    // The readers report their progress through the default messenger,
    // which prints to standard output; a library has no business there.
    Message::DefaultMessenger()->ChangePrinters().Clear();
    int ifail = ksample::kFrUnspecified;
    f.startFileFrustrum(&ifail);
    if (ifail != ksample::kFrOk) {
      return fail(kErrFrustrum, "frustrum start failed with status " + std::to_string(ifail));
    }
    s.frustrum = f;
    s.started = true;
    return static_cast<int>(kOk);
  });
}

int stopSession() {
  detail::clearError();
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  if (!s.started) return fail(kErrNotStarted, "no kernel session is running");
  s.parts.clear();
  s.started = false;
  int ifail = ksample::kFrUnspecified;
  s.frustrum.stopFileFrustrum(&ifail);
  if (ifail != ksample::kFrOk) {
    return fail(kErrFrustrum, "frustrum stop failed with status " + std::to_string(ifail));
  }
  return kOk;
}

int addPart(const Part& part, int& tag) {
  detail::clearError();
  tag = 0;
  return detail::guarded([&] {
    std::string why;
    if (!detail::validPart(part, why)) return fail(kErrInvalidArgument, why);
    std::vector<Part> one{part};
    detail::State& s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    return detail::enterParts(s, one, &tag);
  });
}

bool getPart(int tag, Part& part) {
  detail::clearError();
  return detail::guarded([&] {
           detail::State& s = state();
           std::lock_guard<std::recursive_mutex> lock(s.mutex);
           const Part* p = detail::findPart(s, tag);
           if (!p) return static_cast<int>(kErrNoSuchPart);
           part = *p;
           return static_cast<int>(kOk);
         }) == kOk;
}

int copyPart(int tag, int& copy) {
  detail::clearError();
  copy = 0;
  return detail::guarded([&] {
    detail::State& s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!s.started) return fail(kErrNotStarted, "no kernel session is running");
    const Part* p = detail::findPart(s, tag);
    if (!p) return static_cast<int>(kErrNoSuchPart);
    std::vector<Part> one{*p};
    return detail::enterParts(s, one, &copy);
  });
}

int deleteParts(int count, const int* tags) {
  detail::clearError();
  if (count < 0 || (count > 0 && !tags)) return fail(kErrInvalidArgument, "invalid part list");
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  int status = kOk;
  for (int i = 0; i < count; ++i) {
    if (s.parts.erase(tags[i]) == 0 && status == kOk) status = fail(kErrNoSuchPart, detail::noSuchPart(tags[i]));
  }
  return status;
}

int partCount() {
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  return static_cast<int>(s.parts.size());
}

int faceCount(int tag) {
  detail::clearError();
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  const Part* p = detail::findPart(s, tag);
  return p ? detail::faceCountOf(p->shape) : -1;
}

int edgeCount(int tag) {
  detail::clearError();
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  const Part* p = detail::findPart(s, tag);
  if (!p) return -1;
  TopTools_IndexedMapOfShape edges;
  TopExp::MapShapes(p->shape, TopAbs_EDGE, edges);
  int count = 0;
  for (int i = 1; i <= edges.Extent(); ++i) count += BRep_Tool::Degenerated(TopoDS::Edge(edges(i))) ? 0 : 1;
  return count;
}

bool partColor(int tag, Rgba& rgba) {
  detail::clearError();
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  const Part* p = detail::findPart(s, tag);
  if (!p || !p->color.isSet()) return false;
  rgba = p->color;
  return true;
}

bool hasColor(int tag) {
  detail::clearError();
  detail::State& s = state();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  const Part* p = detail::findPart(s, tag);
  if (!p) return false;
  if (p->color.isSet()) return true;
  for (const Rgba& c : p->faceColors)
    if (c.isSet()) return true;
  return false;
}

}  // namespace kocct
