// Doubles for the tessellation callbacks (box, body colour, faces, edges) and helpers that build and inspect shapes.
#ifndef MV_TESTS_TESS_SUPPORT_H
#define MV_TESTS_TESS_SUPPORT_H

#include <gtest/gtest.h>

#include "support/fake_kernel_callbacks.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace tess {

using Params = MvKMBrep::KmBrepTessParams;
using Shapes = MvAutoPtrVec<MvTriStripSet>;
using Colors = MvAVec<MvVec4<float>>;
using Sets = MvAutoPtrVec<MvPolylineSet>;
using Reports = std::vector<fake::Report>;

// Reaches the element's protected tessellation members.
struct Access : MvKMBrep {
  using MvKMBrep::_addColorToShape;
  using MvKMBrep::_mergeTriStripSet;
};

inline MvVec4<float> rgba(float r, float g, float b, float a) { return MvVec4<float>{{r, g, b, a}}; }
inline MvVec3<float> xyz(float x, float y, float z) { return MvVec3<float>{{x, y, z}}; }
inline fake::Report report(const char* op, const char* condition, int code = 5) {
  return fake::Report{"MvKMBrep", op, condition, code};
}
inline int lockDepth() { return MvKMBrep::s_pKorvaniteMutex->heldDepth(); }

template <class Dst, class Src>
bool appendAll(Dst& dst, const Src& src) {
  return std::all_of(src.begin(), src.end(), [&](const auto& x) { return dst.append(x) != 0; });
}

template <class List, class T>
List listOf(std::initializer_list<T> items) {
  List out;
  appendAll(out, items);
  return out;
}

template <class T>
std::vector<const T*> ptrs(const MvAutoPtrVec<T>& list) {
  std::vector<const T*> out;
  for (int i = 0; i < list.length(); ++i) out.push_back(list[i].get());
  return out;
}

struct Box {
  MvVec3<float> minPt, maxPt;
  bool write = true;  // false: succeed without writing the corners
};
struct BodyFaces {
  std::vector<MvAutoPtr<MvTriStripSet>> shapes;
  std::vector<int> map;
  std::vector<MvVec4<float>> colors;
};

// What the doubles answer (a tag without box, faces or edges fails) and what they saw.
struct State {
  std::map<int, Box> boxes;
  std::map<int, unsigned> colorAnswers;
  std::map<int, BodyFaces> faces;
  std::map<int, std::vector<MvAutoPtr<MvPolylineSet>>> edges;
  std::string calls;         // every callback with its body and the kernel lock depth: "box1@2 edge1@1"
  std::vector<double> tol1;  // dTol1 seen by each face or edge call
};

inline State& state() {
  static State s;
  return s;
}

inline State& noted(const char* callback, int body) {
  State& s = state();
  s.calls += (s.calls.empty() ? "" : " ") + (callback + std::to_string(body)) + "@" + std::to_string(lockDepth());
  return s;
}

inline unsigned boxCB(int body, MvVec3<float>& minPt, MvVec3<float>& maxPt) {
  State& s = noted("box", body);
  const auto it = s.boxes.find(body);
  if (it != s.boxes.end() && it->second.write) std::tie(minPt, maxPt) = std::tie(it->second.minPt, it->second.maxPt);
  return it != s.boxes.end();
}

inline unsigned colorCB(int body) { return noted("color", body).colorAnswers[body]; }

inline unsigned tessCB(int body, const Params& p, Shapes& shapes, MvIVec<int>& map, Colors& colors) {
  State& s = noted("tess", body);
  s.tol1.push_back(p.dTol1);
  EXPECT_EQ(shapes.length(), 0);
  EXPECT_EQ(map.length(), 0);
  EXPECT_EQ(colors.length(), 0);
  const auto it = s.faces.find(body);
  return it != s.faces.end() && appendAll(shapes, it->second.shapes) && appendAll(map, it->second.map) &&
         appendAll(colors, it->second.colors);
}

inline unsigned edgeCB(int body, Params& p, Sets& sets) {
  State& s = noted("edge", body);
  s.tol1.push_back(p.dTol1);
  p.dTol1 *= 2.0;  // seen by the later bodies and the caller
  EXPECT_EQ(sets.length(), 0);
  const auto it = s.edges.find(body);
  return it != s.edges.end() && appendAll(sets, it->second);
}

// A strip of `vertexCount` vertices (vertexCount - 2 triangles) whose values all differ and derive from `base`.
inline MvAutoPtr<MvTriStripSet> strip(float base, int vertexCount = 3,
                                      MvVertexShape::Binding normals = MvVertexShape::MV_BIND_PER_VERTEX) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(normals, MvVertexShape::MV_BIND_PER_VERTEX,
                                                     MvVertexShape::MV_BIND_PER_VERTEX);
  std::vector<float> v(3 * vertexCount + 3);
  for (size_t i = 0; i < v.size(); ++i) v[i] = base + static_cast<float>(i * i % 11) / 4.0f;
  EXPECT_EQ(shape->addStrip(v.data(), v.data() + 1, v.data() + 2, v.data() + 3, vertexCount), 1u);
  return shape;
}

// True when `merged` holds exactly the triangles of `sources`, in order, as their triangle iterators yield them.
inline bool mergedFrom(const MvTriStripSet* merged, std::initializer_list<const MvTriStripSet*> sources) {
  const auto bytes = [](std::initializer_list<const MvTriStripSet*> shapes) {
    std::string out;
    for (const MvTriStripSet* s : shapes) {
      MvAutoPtr<MvTriIter> it = s->getTriIter();
      it->reset();
      int n = it->size();
      for (const MvTriangle* t = nullptr; n-- > 0 && (t = it->next(1)) != nullptr;)
        out.append(reinterpret_cast<const char*>(t), sizeof *t);
    }
    return out;
  };
  return bytes({merged}) == bytes(sources);
}

// True when the node carries exactly one material: diffuse `c`, specular (0.75, 0.75, 0.75, 1) and shininess 15.
inline bool colored(const MvNode& node, const MvVec4<float>& c) {
  const auto* m = node.attributeCount() == 1 ? dynamic_cast<const MvMaterial*>(node.attribute(0)) : nullptr;
  const MvVec4<float> specular = rgba(0.75f, 0.75f, 0.75f, 1.0f);
  return m && std::memcmp(&m->diffuseColor(), &c, sizeof c) == 0 &&
         std::memcmp(&m->specularColor(), &specular, sizeof c) == 0 && m->shininess() == 15.0f;
}

// Library initialised, the doubles registered with a fresh record and `p` at level 0 per test; afterwards the kernel
// lock is free (released on success and failure alike) and the memory account back where it started.
class TessTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    state() = State();
    MvKMBrep::setKmBBoxCallback(boxCB);
    MvKMBrep::setKmBodyColorCallback(colorCB);
    MvKMBrep::setKmTessCallback(tessCB);
    MvKMBrep::setKmEdgeTessCallback(edgeCB);
    MvKMBrep::initializeTessParam(p, 0);
  }
  void TearDown() override {
    EXPECT_EQ(lockDepth(), 0);
    state() = State();
    fake::LibraryTest::TearDown();
  }

  // An element with the given parts (not owned: nothing to release).
  static MvAutoPtr<MvKMBrep> element(std::initializer_list<int> parts) { return fake::element(parts, 1); }

  // Unit boxes along x for every tag.
  static void unitBoxes(std::initializer_list<int> tags) {
    float x = 0.0f;
    for (int t : tags) {
      state().boxes[t] = Box{xyz(x, 0.0f, 0.0f), xyz(x + 1.0f, 1.0f, 1.0f)};
      x += 1.0f;
    }
  }
  Params p;
};

}  // namespace tess

#endif
