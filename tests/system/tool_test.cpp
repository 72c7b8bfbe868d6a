#include "app/demo_model.h"
#include "app/sample_app.h"
#include "system/tool_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using namespace tooltest;

TEST_F(Tool, DemoWritesValidOutputs) {
  const ToolRun run = kmbrep("demo --out " + dir + "/demo");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("24 parts"), std::string::npos);
  for (const char* name : {"demo.mv61", "demo.x_t", "demo.obj", "demo.mtl", "demo.svg"})
    EXPECT_TRUE(exists(dir + "/demo/" + name)) << name;

  // The OBJ holds as many faces as the merged shapes hold triangles.
  const std::string obj = readAll(dir + "/demo/demo.obj");
  long long faces = 0;
  std::istringstream lines(obj);
  for (std::string line; std::getline(lines, line);) faces += line.rfind("f ", 0) == 0;
  const size_t at = run.out.find("display");
  ASSERT_NE(at, std::string::npos);
  const long long shown = std::atoll(run.out.c_str() + run.out.find_first_of("0123456789", at));
  EXPECT_EQ(faces, shown);
  EXPECT_GT(faces, 0);
  EXPECT_NE(readAll(dir + "/demo/demo.mtl").find("Ks 0.75 0.75 0.75"), std::string::npos);
  EXPECT_EQ(readAll(dir + "/demo/demo.svg").rfind("<?xml", 0), 0u);
  EXPECT_EQ(readAll(dir + "/demo/demo.x_t").rfind("**ABCDEFGHIJKLMNOPQRSTUVWXYZ", 0), 0u);

  // The host file reads back to the same parts.
  const ToolRun info = kmbrep("info " + dir + "/demo/demo.mv61");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("1 element(s)"), std::string::npos);
  EXPECT_NE(info.out.find("24 part(s), kernel version 3.2"), std::string::npos);
  EXPECT_NE(info.out.find("part 23: sphere, 1 faces, 0 edges"), std::string::npos);

  // Transmit to a kernel file and import it into a new host file.
  ASSERT_EQ(kmbrep("transmit " + dir + "/demo/demo.mv61 " + dir + "/parts --binary").exitCode, 0);
  EXPECT_TRUE(exists(dir + "/parts.x_b"));
  const ToolRun imported = kmbrep("import " + dir + "/parts " + dir + "/imported.mv61");
  ASSERT_EQ(imported.exitCode, 0) << imported.err;
  EXPECT_NE(kmbrep("info " + dir + "/imported.mv61").out.find("24 part(s)"), std::string::npos);

  const ToolRun svg = kmbrep("export " + dir + "/imported.mv61 " + dir + "/fine.svg --level 2");
  EXPECT_EQ(svg.exitCode, 0) << svg.err;
  EXPECT_TRUE(exists(dir + "/fine.svg"));
}

TEST_F(Tool, BadInputGetsOneLineAndNoOutput) {
  const ToolRun missing = kmbrep("info " + dir + "/nothing.mv61");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(lineCount(missing.err), 1) << missing.err;

  {
    std::ofstream corrupt(dir + "/corrupt.mv61", std::ios::binary);
    corrupt << "MV61HOST" << std::string(40, '\x7f');
  }
  const ToolRun bad = kmbrep("export " + dir + "/corrupt.mv61 " + dir + "/corrupt.obj");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(lineCount(bad.err), 1) << bad.err;
  EXPECT_FALSE(exists(dir + "/corrupt.obj"));
  EXPECT_EQ(temporaries(dir), 0);

  const ToolRun option = kmbrep("export a.mv61 b.obj --fast");
  EXPECT_EQ(option.exitCode, 2);
  EXPECT_EQ(option.err.rfind("kmbrep: unknown option '--fast'\n", 0), 0u) << option.err;
  EXPECT_EQ(kmbrep("frobnicate").exitCode, 2);
  EXPECT_EQ(kmbrep("export a.mv61 b.png").exitCode, 2);

  // An empty model is refused.
  ASSERT_EQ(kmbrep("demo --out " + dir + "/d2").exitCode, 0);
  {
    std::ofstream empty(dir + "/empty.x_t");
  }
  const ToolRun emptyImport = kmbrep("import " + dir + "/empty " + dir + "/empty.mv61");
  EXPECT_EQ(emptyImport.exitCode, 1);
  EXPECT_EQ(lineCount(emptyImport.err), 1) << emptyImport.err;
  EXPECT_FALSE(exists(dir + "/empty.mv61"));
}

// Three elements of the same eight colours: eight materials in all, and
// every shape's corners shared rather than written per triangle.
TEST_F(Tool, ObjMergesColoursAcrossElementsAndSharesVertices) {
  {
    ksamplehost::SampleApp app;
    ASSERT_TRUE(app.ok()) << app.error();
    MvAutoPtr<MvFileStream> out(MvFileStream::create((dir + "/three.mv61").c_str()));
    ASSERT_TRUE(out);
    for (int e = 0; e < 3; ++e) {
      const std::vector<int> tags = ksamplehost::buildDemoModel(24);
      MvAutoPtr<MvKMBrep> element(new MvKMBrep());
      MvVec<int> parts;
      parts.append(tags.data(), static_cast<int>(tags.size()));
      ASSERT_EQ(element->appendKmPart(parts, 0), 1u);
      ASSERT_EQ(out->writeObject(element), 1u);
    }
    ASSERT_EQ(out->close(), 1u);
  }
  const ToolRun run = kmbrep("export " + dir + "/three.mv61 " + dir + "/three.obj");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::istringstream lines(readAll(dir + "/three.obj"));
  long long faces = 0, positions = 0, normals = 0, shapes = 0, biggest = 0;
  for (std::string line; std::getline(lines, line);) {
    shapes += line.rfind("o shape_", 0) == 0;
    positions += line.rfind("v ", 0) == 0;
    normals += line.rfind("vn ", 0) == 0;
    if (line.rfind("f ", 0) != 0) continue;
    ++faces;
    std::istringstream corners(line.substr(2));
    for (long long v; corners >> v; corners.ignore(64, ' ')) biggest = std::max(biggest, v);
  }
  EXPECT_EQ(std::to_string(faces), run.out.substr(run.out.find(": ") + 2, std::to_string(faces).size()));
  EXPECT_EQ(shapes, 24);
  EXPECT_LE(biggest, positions);
  EXPECT_LT(positions, faces);
  EXPECT_LT(normals, faces);
  const std::string mtl = readAll(dir + "/three.mtl");
  int materials = 0;
  for (size_t at = mtl.find("newmtl"); at != std::string::npos; at = mtl.find("newmtl", at + 1)) ++materials;
  EXPECT_EQ(materials, 8);
}

}  // namespace
