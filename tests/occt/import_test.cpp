// Reading models: colours at face, solid and product level, assemblies, units, and the files that must be refused.
#include <BRepTools.hxx>
#include <IGESControl_Writer.hxx>

#include "occt/occt_support.h"

namespace occttest {
namespace {

using Import = OcctTest;

struct Expected {
  const char* name;
  int faces;
  kocct::Rgba face0, face1;  // the colours of faces 0 and 1
};

TEST_F(Import, StepNamesColorsAndAssemblyPlacements) {
  const OwnedParts owned{importColoredModel()};
  const std::vector<int>& tags = owned.tags;
  const Expected expected[] = {
      {"block", 7, {1, 0, 0, 1}, {0, 1, 0, 1}},
      {"block", 7, {1, 0, 0, 1}, {0, 1, 0, 1}},
      {"pair", 6, {0, 0, 1, 1}, {0, 0, 1, 1}},
      {"pair", 3, {1, 1, 0, 1}, {}},
  };
  ASSERT_EQ(tags.size(), std::size(expected));
  std::vector<kocct::Part> parts(tags.size());
  for (std::size_t i = 0; i < tags.size(); ++i) {
    ASSERT_TRUE(kocct::getPart(tags[i], parts[i]));
    EXPECT_EQ(parts[i].name, expected[i].name) << i;
    ASSERT_EQ(parts[i].faceColors.size(), static_cast<std::size_t>(expected[i].faces)) << i;
    expectSameColor(parts[i].faceColors[0], expected[i].face0, "part " + std::to_string(i) + " face 0");
    expectSameColor(parts[i].faceColors[1], expected[i].face1, "part " + std::to_string(i) + " face 1");
  }
  // The two instances share their geometry and differ in placement.
  EXPECT_EQ(parts[0].shape.TShape(), parts[1].shape.TShape());
  double lo0[3], hi0[3], lo1[3], hi1[3];
  ASSERT_EQ(kocct::boundingBox(tags[0], lo0, hi0), kocct::kOk);
  ASSERT_EQ(kocct::boundingBox(tags[1], lo1, hi1), kocct::kOk);
  EXPECT_NEAR(hi0[0] - lo0[0], 40.0, 1e-6);
  EXPECT_NEAR(hi1[0] - lo1[0], 20.0, 1e-6);  // turned a quarter
  EXPECT_NEAR(lo1[1], 50.0, 1e-6);
}

TEST_F(Import, UnitsOfTheFileAreHonoured) {
  const double volume = volumeOf(blockWithHole());
  for (const char* unit : {"INCH", "M"}) {
    const OwnedParts owned{importColoredModel(unit)};
    kocct::Part part;
    ASSERT_TRUE(kocct::getPart(owned.tags.at(0), part));
    EXPECT_NEAR(volumeOf(part.shape), volume, 1e-6 * volume) << unit;
  }
}

// A BREP file of one solid (the part is named for the file without its extension), and IGES written in its default
// face mode (the block's faces and no solid): each becomes one part of all the block's faces, uncoloured.
TEST_F(Import, BrepAndIgesFilesGiveOnePart) {
  const struct {
    const char* file;
    std::function<bool(const std::string&)> write;
    const char* name;          // null: as OCCT's reader names it
    std::size_t colorEntries;  // all unset
  } files[] = {
      {"block.brep", [](const std::string& path) { return BRepTools::Write(blockWithHole(), path.c_str()); },
       "Import_BrepAndIgesFilesGiveOnePart_block", 0},
      {"block.igs",
       [](const std::string& path) {
         IGESControl_Writer writer("MM", 0);
         return writer.AddShape(blockWithHole()) && writer.Write(path.c_str());
       },
       nullptr, 7},
  };
  const double area = areaOf(blockWithHole());
  for (const auto& f : files) {
    SCOPED_TRACE(f.file);
    const std::string path = tempPath(f.file);
    ASSERT_TRUE(f.write(path));
    const OwnedParts owned{importOk(path)};
    ASSERT_EQ(owned.tags.size(), 1u);
    kocct::Part part;
    ASSERT_TRUE(kocct::getPart(owned.tags[0], part));
    if (f.name) {
      EXPECT_EQ(part.name, f.name);
    }
    EXPECT_EQ(part.faceColors.size(), f.colorEntries);
    for (const kocct::Rgba& c : part.faceColors) EXPECT_FALSE(c.isSet());
    EXPECT_EQ(kocct::faceCount(owned.tags[0]), 7);
    EXPECT_NEAR(areaOf(part.shape), area, 1e-6 * area);
  }
}

struct BadFile {
  const char* name;
  std::function<std::string()> content;  // nullptr: no file at all
  int code;
  const char* message;  // after "cannot read 'PATH': ", or the whole text
};

std::string validStep() {
  const std::string path = tempPath("valid.step");
  writeColoredModel(path);
  return readAll(path);
}

const char kEmptyStep[] =
    "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('empty'),'2;1');\nFILE_NAME('e','',(''),(''),'','','');\n"
    "FILE_SCHEMA(('AUTOMOTIVE_DESIGN { 1 0 10303 214 1 1 1 1 }'));\nENDSEC;\nDATA;\nENDSEC;\nEND-ISO-10303-21;\n";

TEST_F(Import, BadFilesAreRefusedAndCreateNothing) {
  const BadFile cases[] = {
      {"truncated.step", [] { const std::string s = validStep(); return s.substr(0, s.size() / 2); }, kocct::kErrModelFile,
       "not a valid STEP file"},
      {"garbage.step", [] { return std::string("\x7f\x45\x4c\x46\x02\x01\x01\x00garbage\xff\xfe", 18); },
       kocct::kErrModelFile, "not a valid STEP file"},
      {"notes.stp", [] { return std::string("just a text file\nwith two lines\n"); }, kocct::kErrModelFile,
       "not a valid STEP file"},
      {"empty.step", [] { return std::string(kEmptyStep); }, kocct::kErrEmptyModel, nullptr},
      {"garbage.igs", [] { return std::string("not an IGES file\n"); }, kocct::kErrModelFile, "not a valid IGES file"},
      {"garbage.brep", [] { return std::string("not a BREP file\n"); }, kocct::kErrModelFile, "not a valid BREP file"},
      {"missing.step", nullptr, kocct::kErrModelFile, "No such file or directory"},
      {"model.dxf", [] { return std::string("0\nSECTION\n"); }, kocct::kErrModelFile,
       "unknown model type (use .step, .stp, .iges, .igs or .brep)"},
  };
  for (const BadFile& c : cases) {
    const std::string path = tempPath(c.name);
    std::remove(path.c_str());
    if (c.content) writeAll(path, c.content());
    std::vector<int> tags{7};
    EXPECT_EQ(kocct::importModel(path, tags), c.code) << c.name;
    EXPECT_EQ(kocct::lastError(), c.message ? "cannot read '" + path + "': " + c.message : "the model is empty")
        << c.name;
    EXPECT_TRUE(tags.empty()) << c.name;
  }
}

}  // namespace
}  // namespace occttest
