#include "app/demo_model.h"
#include "app/sample_app.h"
#include "support/elements.h"
#include "system/tool_run.h"

#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tooltest;
using testfiles::setInt;

// Writes a host file of one element per tag list, made by make() in the sample application.
void writeHostFile(const std::string& path, int elements, const std::function<MvVec<int>()>& make) {
  ksamplehost::SampleApp app;
  ASSERT_TRUE(app.ok()) << app.error();
  MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
  ASSERT_TRUE(out);
  for (int e = 0; e < elements; ++e) {
    MvAutoPtr<MvKMBrep> element(new MvKMBrep());
    ASSERT_EQ(element->appendKmPart(make(), 0), 1u);
    ASSERT_EQ(out->writeObject(element), 1u);
  }
  ASSERT_EQ(out->close(), 1u);
}

// The demo's outputs, the summary as text and JSON, transmits (the headers name the user's key, not the temporary),
// an import back, exports into every format (--out makes its folders; extensions match in any case) and the help.
TEST_F(Tool, DemoInfoTransmitImportAndHelp) {
  const struct {
    const char* args;
    std::vector<const char*> shows;  // each within standard output
    const char* starts = "";         // the beginning of standard output
  } steps[] = {
      {"demo --out $/demo", {"24 parts"}},
      {"info $/demo/demo.mv61", {"host file format 8.2\n  element 0: 24 parts, 80 faces, 112 edges, 8 colours; written "
                                 "by the sample kernel 3.2\n  in the file: 1 element, 24 parts, 80 faces, 112 edges, "
                                 "8 colours\n  bounding box ("}},
      {"info --json $/demo/demo.mv61 $/demo/demo.mv61",
       {"{\n  \"schema\": 1,\n  \"files\": [\n    {\n      \"path\": ", "\"hostFileVersion\": \"8.2\",\n",
        "\"kernel\": \"sample\",\n          \"kernelVersion\": \"3.2\",\n",
        "\"elements\": 1,\n      \"parts\": 24,\n      \"faces\": 80,\n      \"edges\": 112,\n      \"colours\": 8,\n",
        "\"total\": {\n    \"files\": 2,\n    \"elements\": 2,\n    \"parts\": 48,\n    \"faces\": 160,\n    "
        "\"edges\": 224,\n    \"colours\": 8,\n    \"boundingBox\": {\"min\": ["}},
      {"transmit $/demo/demo.mv61 $/parts --binary", {"$/parts.x_b: 24 part(s)\n"}},
      {"transmit $/demo/demo.mv61 $/t1 --text", {"$/t1.x_t: 24 part(s)\n"}},
      {"import $/parts $/imported.mv61", {"$/imported.mv61: 24 part(s), "}},
      {"info $/imported.mv61 --parts", {"    part 23: sphere, 1 face, 0 edges"}},
      {"demo --out $/a/b --quiet", {}},
      {"export $/a/b/demo.mv61 $/m.OBJ", {": 2624 triangles\n"}, "$/m.OBJ: "},
      {"export $/a/b/demo.mv61 $/m.Gltf --level 1", {" triangles\n"}, "$/m.Gltf: "},
      {"export $/a/b/demo.mv61 $/m.glb", {": 2624 triangles\n"}, "$/m.glb: "},
      {"export $/a/b/demo.mv61 $/p.glb --parts --absolute", {" part nodes\n"}, "$/p.glb: "},
      {"export $/a/b/demo.mv61 $/m.svg --view top --size 640x480",
       {" triangles drawn (facing the viewer and not hidden)\n"}, "$/m.svg: "},
      {"view $/a/b/demo.mv61 $/v.HTML", {": 24 parts, 2624 triangles\n"}, "$/v.HTML: "},
      {"--help", {"Commands:\n  demo      build the sample model"}},
      {"help", {"General options:\n  --quiet"}},
      {"help export", {"usage: kmbrep export FILE OUT.obj|OUT.gltf|OUT.glb|OUT.svg [options]"}},
      {"export --help", {"  --level 0|1|2    how finely curved faces are cut into triangles"}},
      {"view a.mv61 --help", {"Example:\n  kmbrep view out/demo.mv61 demo.html\n"}},
      {"help info", {"  --json           the same as one JSON document"}},
      {"--version", {"library: MvKMBrep61 6.1.1.0, build 51026\nkernels: sample kernel 3.2"}},
  };
  for (const auto& step : steps) {
    const ToolRun run = kmbrep(expand(step.args, dir));
    ASSERT_EQ(run.exitCode, 0) << step.args << ": " << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;  // no progress unless on a terminal
    EXPECT_EQ(run.out.rfind(expand(step.starts, dir), 0), 0u) << step.args << "\n" << run.out;
    for (const char* shows : step.shows)
      EXPECT_NE(run.out.find(expand(shows, dir)), std::string::npos) << step.args << ": " << shows << "\n" << run.out;
  }
  for (const char* name : {"demo.mv61", "demo.obj", "demo.gltf", "demo.glb", "demo.html"})
    EXPECT_TRUE(exists(dir + "/demo/" + name)) << name;
  const struct { const char *file, *starts, *holds; } files[] = {
      {"demo/demo.mtl", "", "Ks 0.75 0.75 0.75"},
      {"demo/demo.svg", "<?xml", ""},
      {"demo/demo.x_t", "**ABCDEFGHIJKLMNOPQRSTUVWXYZ", "KEY=$/demo/demo;\nFILE=$/demo/demo.x_t;\n"},
      {"parts.x_b", "", "\nFORMAT=binary;\nGUISE=transmit;\nKEY=$/parts;\nFILE=$/parts.x_b;\n"},
      {"t1.x_t", "", "\nFORMAT=text;\nGUISE=transmit;\nKEY=$/t1;\nFILE=$/t1.x_t;\n"},
      {"m.OBJ", "# kmbrep", "usemtl"},
      {"m.Gltf", "{\"asset\":{\"version\":\"2.0\"", "\"name\":\"model\""},
      {"m.glb", "glTF\x02", "\"name\":\"colour_7\""},
      {"p.glb", "glTF\x02", "\"name\":\"element 0 part 23\""},
      {"m.svg", "<?xml", "width=\"640\" height=\"480\""},
      {"v.HTML", "<!DOCTYPE html>", "<title>demo.mv61 - kmbrep</title>"},
  };
  for (const auto& f : files) {
    const std::string bytes = readAll(dir + "/" + f.file);
    EXPECT_EQ(bytes.rfind(f.starts, 0), 0u) << f.file;
    EXPECT_NE(bytes.find(expand(f.holds, dir)), std::string::npos) << f.file;
  }
  // The picture's caption names the file and says what it counts.
  EXPECT_NE(readAll(dir + "/m.svg").find(">demo.mv61 \xc2\xb7 24 parts \xc2\xb7 "), std::string::npos);
}

// Three elements in the same eight colours: eight materials, and corners shared rather than written per triangle.
TEST_F(Tool, ObjMergesColorsAcrossElementsAndSharesVertices) {
  writeHostFile(dir + "/three.mv61", 3, [] { return testfiles::tagVec(ksamplehost::buildDemoModel(24)); });
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

struct MessageCase {
  const char* name;
  const char* args;  // $ stands for the test's folder
  int exitCode;
  // Standard error (for exit 2 its first line, the usage text following); $ as above, % the "No such file" text.
  std::string err;
  const char* out = "";  // within standard output
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class Message : public DemoTool, public ::testing::WithParamInterface<MessageCase> {};

// Every failure is one line in the user's terms (usage errors add the usage text) and leaves no output and no
// temporary; the library's reports follow only with --verbose.
TEST_P(Message, SaysWhatIsWrong) {
  const MessageCase& c = GetParam();
  ASSERT_EQ(kmbrep("transmit " + dir + "/d/demo.mv61 " + dir + "/both.x_t").exitCode, 0);
  ASSERT_EQ(kmbrep("transmit " + dir + "/d/demo.mv61 " + dir + "/both --binary").exitCode, 0);
  const std::string whole = readAll(dir + "/d/demo.mv61");
  // Host file: header (magic, major, minor) 16 bytes, GUID 16, record length 4, then the element's version, kernel
  // version and segment length; a trailer of 16 bytes ends it.
  const std::string older = setInt(whole.substr(0, whole.size() - 16), 12, 1);  // version 8.1, no trailer
  const std::pair<const char*, std::string> files[] = {
      {"host.x_t", whole}, {"host.mtl", whole}, {"empty.mv61", ""}, {"empty.x_t", ""},
      {"cut.mv61", whole.substr(0, 100)}, {"corrupt.mv61", "MV61HOST" + std::string(40, '\x7f')},
      {"older.mv61", older}, {"newer.mv61", setInt(whole, 8, 9)},
      {"unread.mv61", setInt(older, 32, static_cast<int>(older.size()) - 36 + 4) + "abcd"},
      {"zeroed.mv61", setInt(whole, 48, 0)}, {"no_trailer.mv61", whole.substr(0, whole.size() - 16)},
      {"header_only.mv61", whole.substr(0, 16)}, {"kernel.mv61", setInt(whole, 44, 7)},
  };
  for (const auto& [name, bytes] : files) writeFile(dir + "/" + name, bytes);
  const ToolRun run = kmbrep(expand(c.args, dir));
  EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
  EXPECT_EQ(c.exitCode == 2 ? run.err.substr(0, run.err.find('\n')) : run.err, expand(c.err, dir));
  EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
  for (const char* output : {"/o.obj", "/o.mv61"}) EXPECT_TRUE(c.exitCode == 0 || !exists(dir + output)) << output;
  EXPECT_EQ(temporaries(dir), 0);
}

const MessageCase kMessages[] = {
    {"Missing", "info $/none.mv61", 1, "kmbrep: cannot open '$/none.mv61': %\n"},
    {"Empty", "info $/empty.mv61", 1, "kmbrep: '$/empty.mv61' is not a host file\n"},
    {"Cut", "info $/cut.mv61", 1, "kmbrep: '$/cut.mv61' is damaged: it is cut short (its trailer is missing)\n"},
    {"KeyWithExtension", "import $/d/demo.x_t $/o.mv61", 0, ""},
    {"BothFormats", "import $/both $/o.mv61", 1, "kmbrep: both '$/both.x_t' and '$/both.x_b' exist: give --text or --binary\n"},
    {"BothFormatsChosen", "import $/both $/o.mv61 --binary", 0, ""},
    {"NoKernelFile", "import $/none $/o.mv61", 1, "kmbrep: cannot open '$/none.x_t' or '$/none.x_b': %\n"},
    {"MissingValue", "export $/d/demo.mv61 $/o.obj --level", 2, "kmbrep: --level needs a value: 0, 1 or 2"},
    {"LevelAndAbsolute", "export $/d/demo.mv61 $/o.obj --level 1 --absolute", 2, "kmbrep: --level and --absolute cannot be used together"},
    {"TextAndBinary", "import $/both $/o.mv61 --text --binary", 2, "kmbrep: --text and --binary cannot be used together"},
    {"FormatsDiffer", "import $/both.x_b $/o.mv61 --text", 2, "kmbrep: the key '$/both.x_b' and --text name different formats"},
    {"EmptyKey", "transmit $/d/demo.mv61 \"\"", 2, "kmbrep: the key is empty"},
    {"ImportOverItsInput", "import $/d/demo $/d/demo.x_t", 2, "kmbrep: the output '$/d/demo.x_t' is the input '$/d/demo.x_t': choose another output"},
    {"TransmitOverItsInput", "transmit $/host.x_t $/host", 2, "kmbrep: the output '$/host.x_t' is the input '$/host.x_t': choose another output"},
    {"MaterialsOverTheInput", "export $/host.mtl $/host.obj", 2, "kmbrep: the output '$/host.mtl' is the input '$/host.mtl': choose another output"},
    {"OverTheLimit", "export $/d/demo.mv61 $/o.obj --max-triangles 2623", 1, "kmbrep: '$/d/demo.mv61' would make 2624 triangles, more than the limit of 2623: give --max-triangles to raise it\n"},
    {"AtTheLimit", "export $/d/demo.mv61 $/o.obj --max-triangles 2624", 0, ""},
    {"PictureTooSmall", "export $/d/demo.mv61 $/o.svg --size 10x10", 2, "kmbrep: --size takes WIDTHxHEIGHT, each from 64 to 4096 pixels, not '10x10'"},
    {"UnknownView", "export $/d/demo.mv61 $/o.svg --view under", 2, "kmbrep: --view takes iso, front, top or side, not 'under'"},
    {"ViewOfAModel", "export $/d/demo.mv61 $/o.glb --view top", 2, "kmbrep: --view and --size apply to .svg pictures only"},
    {"PartsOfObj", "export $/d/demo.mv61 $/o.obj --parts", 2, "kmbrep: --parts applies to .gltf and .glb only"},
    {"PageNotHtml", "view $/d/demo.mv61 $/o.svg", 2, "kmbrep: the output must end in .html"},
    {"UnknownCommand", "frobnicate", 2, "kmbrep: unknown command 'frobnicate'"},
    {"UnknownFormat", "export a.mv61 b.png", 2, "kmbrep: the output must end in .obj, .gltf, .glb or .svg"},
    {"UnknownOption", "export a.mv61 b.obj --fast", 2, "kmbrep: unknown option '--fast'"},
    {"HelpOfNothing", "help nothing", 2, "kmbrep: help takes one command name"},
    {"Verbose", "info $/empty.mv61 --verbose", 1,
     "kmbrep: '$/empty.mv61' is not a host file\n  MvObjectStream::open: file header complete (code 5)\n"},
    {"NewerHostFile", "export $/corrupt.mv61 $/o.obj", 1, "kmbrep: '$/corrupt.mv61' was written by a newer version of the host file format than this program reads\n"},
    {"EmptyModel", "import $/empty $/o.mv61", 1, "kmbrep: cannot read '$/empty.x_t'\n"},
    {"RecordLengthZeroed", "info $/zeroed.mv61", 1, "kmbrep: '$/zeroed.mv61' is damaged: object 1 cannot be read\n"},
    {"CutAtTheRecordEnd", "info $/no_trailer.mv61", 1, "kmbrep: '$/no_trailer.mv61' is damaged: it is cut short (its trailer is missing)\n"},
    {"CutAfterTheHeader", "info $/header_only.mv61", 1, "kmbrep: '$/header_only.mv61' is damaged: it is cut short (its trailer is missing)\n"},
    {"KernelVersionChanged", "info $/kernel.mv61", 1, "kmbrep: '$/kernel.mv61' is damaged: its objects do not match its trailer's count and checksum\n"},
    {"NewerVersion", "info $/newer.mv61", 1, "kmbrep: '$/newer.mv61' was written by a newer version of the host file format than this program reads\n"},
    {"OlderVersion", "info $/older.mv61", 0, "", "no trailer"},
    {"RecordLeftUnread", "info $/unread.mv61", 1, "kmbrep: '$/unread.mv61' is damaged: object 1 left 4 byte(s) of its record unread\n"},
};

INSTANTIATE_TEST_SUITE_P(Tool, Message, ::testing::ValuesIn(kMessages),
                         [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

// 100 spheres of radius 1e9 at absolute tolerances, a million triangles each, are refused before any is made.
TEST_F(Tool, RefusesAnExportOverTheTriangleLimit) {
  writeHostFile(dir + "/big.mv61", 1, [] {
    MvVec<int> parts;
    for (int i = 0; i < 100; ++i) parts.append(ksample::makeSphere(1e9, ksample::identityTransform()));
    return parts;
  });
  const ToolRun run = kmbrep("export " + dir + "/big.mv61 " + dir + "/big.obj --absolute");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "kmbrep: '" + dir + "/big.mv61' would make 104857600 triangles, more than the limit of " +
                         "20000000: give --max-triangles to raise it\n");
  EXPECT_FALSE(exists(dir + "/big.obj"));
}

// Seen from the front, a box wholly behind a bigger one adds nothing to the picture: its triangles are only counted.
TEST_F(Tool, PictureLeavesOutWhatIsHidden) {
  const auto inFront = [] { return ksample::makeBox(4, 1, 4, ksample::translation(0, 0, 0)); };
  const auto hidden = [] { return ksample::makeBox(1, 1, 1, ksample::translation(1.5, 5, 1.5)); };
  writeHostFile(dir + "/front.mv61", 1, [&] { return testfiles::tagVec({inFront()}); });
  writeHostFile(dir + "/both.mv61", 1, [&] { return testfiles::tagVec({inFront(), hidden()}); });
  const auto picture = [&](const std::string& name) {
    const ToolRun run = kmbrep("export " + dir + "/" + name + ".mv61 " + dir + "/" + name + ".svg --view front");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string svg = readAll(dir + "/" + name + ".svg");
    return std::make_pair(run.out.substr(run.out.rfind(':')), svg.substr(svg.find("<g fill=\"none\"")));
  };
  const auto front = picture("front"), both = picture("both");
  EXPECT_EQ(front.first, ": 2 of 12 triangles drawn (facing the viewer and not hidden)\n");
  EXPECT_EQ(both.first, ": 2 of 24 triangles drawn (facing the viewer and not hidden)\n");
  // The same edges, and the caption differs only in its counts.
  EXPECT_EQ(front.second.substr(0, front.second.find("<text")), both.second.substr(0, both.second.find("<text")));
}

}  // namespace
