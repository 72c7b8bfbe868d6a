// The Open CASCADE adapter tests' set-up: the host application per test, shapes and STEP files made with OCCT.
#ifndef TESTS_OCCT_SUPPORT_H
#define TESTS_OCCT_SUPPORT_H

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <TopoDS_Shape.hxx>

#include "app/occt_app.h"
#include "support/elements.h"
#include "support/test_files.h"

namespace occttest {

using testfiles::elementOf;
using testfiles::readAll;
using testfiles::writeAll;

// A scratch file name of the running test's own.
std::string tempPath(const std::string& name);

// A 40 x 20 x 10 block with a through hole of radius 4 (one cylindrical face).
TopoDS_Shape blockWithHole();
TopoDS_Shape sphere(double r);

// Writes a small STEP model (in millimetres, or the given unit such as "INCH") with every kind of colour and an
// assembly; fails the test when it cannot. Its parts, in order: "block" twice (an assembly's two instances, the
// second moved by (0, 50, 0) and turned a quarter about z; product colour red, face 1 green), then the two solids
// of product "pair" (a 10 mm cube coloured blue as a solid, a cylinder with one face coloured yellow).
void writeColoredModel(const std::string& path, const char* unit = "MM");
// Imports the model file, expecting success; the caller owns the tags.
std::vector<int> importOk(const std::string& path);
// Imports the coloured model written in the unit; the caller owns the tags.
std::vector<int> importColoredModel(const char* unit = "MM");

// Solid volume and summed face area.
double volumeOf(const TopoDS_Shape& shape);
double areaOf(const TopoDS_Shape& shape);

// Expects two parts equal: name, colours, shape counts, volume to 1e-9 relative and box to 1e-9 of its diagonal.
void expectSamePart(int a, int b);
// Expects two colours both unset, or set and equal.
void expectSameColor(const kocct::Rgba& a, const kocct::Rgba& b, const std::string& what);

inline std::vector<int> tagsOf(const MvKMBrep& element) {
  return std::vector<int>(element.kmPart().begin(), element.kmPart().end());
}

// Parts deleted when it goes.
struct OwnedParts {
  std::vector<int> tags;
  ~OwnedParts() { kocct::deleteParts(static_cast<int>(tags.size()), tags.data()); }
};

// The adapter's host application for one test, which must leave no part and no host memory behind.
class OcctTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<kocctapp::OcctApp> app;
  kocctapp::Options options;
  long long memoryAtStart = 0;
};

}  // namespace occttest

#endif
