// Test doubles for the tessellation callbacks (box, body colour, face and
// edge tessellation) and helpers that build and inspect real shapes.
#ifndef MV_TESTS_TESS_SUPPORT_H
#define MV_TESTS_TESS_SUPPORT_H

#include <gtest/gtest.h>

#include "support/fake_kernel_callbacks.h"

#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

namespace tess {

// Reaches the element's protected tessellation members.
struct Access : MvKMBrep {
  using MvKMBrep::_addColorToShape;
  using MvKMBrep::_getFaceShapeColorArray;
  using MvKMBrep::_mergeTriStripSet;
};

inline MvVec4<float> rgba(float r, float g, float b, float a) { return MvVec4<float>{{r, g, b, a}}; }
inline MvVec3<float> xyz(float x, float y, float z) { return MvVec3<float>{{x, y, z}}; }

// What the face callback gives for one body.
struct BodyFaces {
  std::vector<MvAutoPtr<MvTriStripSet>> shapes;
  std::vector<int> map;
  std::vector<MvVec4<float>> colors;
};

struct Box {
  MvVec3<float> minPt, maxPt;
  bool write = true;  // false: succeed without writing the corners
};

struct State {
  std::map<int, Box> boxes;  // a tag without box fails
  std::vector<int> boxCalls;
  int throwBoxAt = -1;  // tag whose box call throws

  std::map<int, unsigned> colorAnswers;
  std::vector<int> colorCalls;

  std::map<int, BodyFaces> faces;  // a tag without faces fails
  std::vector<int> tessCalls;
  std::vector<unsigned> tessConditioned;  // bConditioned seen by each call
  int throwTessAt = -1;

  std::map<int, std::vector<MvAutoPtr<MvPolylineSet>>> edges;  // a tag without edges fails
  std::vector<int> edgeCalls;
  std::vector<double> edgeTol1;  // dTol1 seen by each call
  double edgeSetsTol1 = 0.0;     // nonzero: written into dTol1 by each call

  std::vector<int> lockDepths;  // kernel lock depth during every callback
};

inline State& state() {
  static State s;
  return s;
}

inline void noteLock() { state().lockDepths.push_back(MvKMBrep::s_pKorvaniteMutex->heldDepth()); }

inline unsigned boxCB(int body, MvVec3<float>& minPt, MvVec3<float>& maxPt) {
  State& s = state();
  noteLock();
  s.boxCalls.push_back(body);
  if (body == s.throwBoxAt) throw std::runtime_error("box");
  auto it = s.boxes.find(body);
  if (it == s.boxes.end()) return 0;
  if (it->second.write) {
    minPt = it->second.minPt;
    maxPt = it->second.maxPt;
  }
  return 1;
}

inline unsigned colorCB(int body) {
  noteLock();
  state().colorCalls.push_back(body);
  return state().colorAnswers[body];
}

inline unsigned tessCB(int body, const MvKMBrep::KmBrepTessParams& p, MvAutoPtrVec<MvTriStripSet>& shapes,
                       MvIVec<int>& map, MvAVec<MvVec4<float>>& colors) {
  State& s = state();
  noteLock();
  s.tessCalls.push_back(body);
  s.tessConditioned.push_back(p.bConditioned);
  EXPECT_EQ(shapes.length(), 0);
  EXPECT_EQ(map.length(), 0);
  EXPECT_EQ(colors.length(), 0);
  auto it = s.faces.find(body);
  if (it == s.faces.end()) return 0;
  for (const auto& shape : it->second.shapes) {
    if (!shapes.append(shape)) return 0;
  }
  for (int m : it->second.map) {
    if (!map.append(m)) return 0;
  }
  for (const auto& c : it->second.colors) {
    if (!colors.append(c)) return 0;
  }
  if (body == s.throwTessAt) throw std::runtime_error("tess");
  return 1;
}

inline unsigned edgeCB(int body, MvKMBrep::KmBrepTessParams& p, MvAutoPtrVec<MvPolylineSet>& sets) {
  State& s = state();
  noteLock();
  s.edgeCalls.push_back(body);
  s.edgeTol1.push_back(p.dTol1);
  if (s.edgeSetsTol1 != 0.0) p.dTol1 = s.edgeSetsTol1;
  EXPECT_EQ(sets.length(), 0);
  auto it = s.edges.find(body);
  if (it == s.edges.end()) return 0;
  for (const auto& set : it->second) {
    if (!sets.append(set)) return 0;
  }
  return 1;
}

// A strip of `vertexCount` vertices (vertexCount - 2 triangles) whose values
// all derive from `base`, so that every shape's triangles differ.
inline MvAutoPtr<MvTriStripSet> strip(float base, int vertexCount = 3,
                                      MvVertexShape::Binding normals = MvVertexShape::MV_BIND_PER_VERTEX) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(normals, MvVertexShape::MV_BIND_PER_VERTEX,
                                                     MvVertexShape::MV_BIND_PER_VERTEX);
  std::vector<float> v, n, t, c;
  for (int i = 0; i < vertexCount; ++i) {
    const float f = base + static_cast<float>(i);
    v.insert(v.end(), {f, f * 2.0f, (i % 2) ? 1.0f : 0.0f});
    n.insert(n.end(), {0.0f, 0.0f, f});
    t.insert(t.end(), {f / 10.0f, f / 20.0f});
    c.insert(c.end(), {f / 100.0f, 0.5f, 0.25f});
  }
  EXPECT_EQ(shape->addStrip(v.data(), n.data(), t.data(), c.data(), vertexCount), 1u);
  return shape;
}

inline MvAutoPtr<MvPolylineSet> polyline(float base) {
  MvAutoPtr<MvPolylineSet> set = new MvPolylineSet();
  const float points[] = {base, 0.0f, 0.0f, base, 1.0f, 0.0f};
  EXPECT_EQ(set->addPolyline(points, 2), 1u);
  return set;
}

// The triangles of a shape, as its triangle iterator yields them.
inline std::vector<MvTriangle> triangles(const MvTriStripSet& shape) {
  std::vector<MvTriangle> out;
  MvAutoPtr<MvTriIter> it = shape.getTriIter();
  if (!it) return out;
  it->reset();
  const int n = it->size();
  for (int i = 0; i < n; ++i) {
    const MvTriangle* tri = it->next(1);
    if (!tri) break;
    out.push_back(*tri);
  }
  return out;
}

inline std::vector<MvTriangle> concat(std::initializer_list<const MvTriStripSet*> shapes) {
  std::vector<MvTriangle> out;
  for (const MvTriStripSet* s : shapes) {
    const std::vector<MvTriangle> t = triangles(*s);
    out.insert(out.end(), t.begin(), t.end());
  }
  return out;
}

inline bool sameTriangles(const std::vector<MvTriangle>& a, const std::vector<MvTriangle>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(MvTriangle)) == 0);
}

// The materials attached to a shape, in order.
inline std::vector<const MvMaterial*> materials(const MvNode& node) {
  std::vector<const MvMaterial*> out;
  for (int i = 0; i < node.attributeCount(); ++i) out.push_back(dynamic_cast<const MvMaterial*>(node.attribute(i)));
  return out;
}

inline bool sameColor(const MvVec4<float>& a, const MvVec4<float>& b) {
  return std::memcmp(a.v, b.v, sizeof a.v) == 0;
}

inline fake::Report report(const char* op, const char* condition, int code = 5) {
  return fake::Report{"MvKMBrep", op, condition, code};
}

inline int lockDepth() { return MvKMBrep::s_pKorvaniteMutex->heldDepth(); }

// Library initialised, the four tessellation doubles registered and their
// record cleared for each test; the kernel lock must be free afterwards.
class TessTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    state() = State();
    // Elements in these tests own no parts; the registration only keeps
    // their destruction quiet.
    MvKMBrep::setKmReleaseCallback(fake::release);
    MvKMBrep::setKmBBoxCallback(boxCB);
    MvKMBrep::setKmBodyColorCallback(colorCB);
    MvKMBrep::setKmTessCallback(tessCB);
    MvKMBrep::setKmEdgeTessCallback(edgeCB);
  }
  void TearDown() override {
    EXPECT_EQ(lockDepth(), 0);
    state() = State();
    fake::LibraryTest::TearDown();
  }

  // An element with the given parts (not owned: nothing to release).
  static MvAutoPtr<MvKMBrep> element(std::initializer_list<int> parts) {
    MvAutoPtr<MvKMBrep> e = new MvKMBrep();
    if (parts.size() > 0) {
      EXPECT_EQ(e->appendKmPart(fake::tags(parts), 1), 1u);
    }
    return e;
  }

  // Unit boxes along x for every tag.
  static void unitBoxes(std::initializer_list<int> tags) {
    float x = 0.0f;
    for (int t : tags) {
      state().boxes[t] = Box{xyz(x, 0.0f, 0.0f), xyz(x + 1.0f, 1.0f, 1.0f)};
      x += 1.0f;
    }
  }
};

}  // namespace tess

#endif
