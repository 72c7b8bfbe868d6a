// kmbrep on model files and on host files of Open CASCADE parts.
#include "occt/occt_support.h"
#include "system/tool_run.h"

namespace occttest {
namespace {

using namespace tooltest;
using OcctTool = Tool;

TEST_F(OcctTool, ImportConvertInfoTransmitAndRefusals) {
  writeColoredModel(dir + "/m.step");
  writeFile(dir + "/bad.step", "ISO-10303-21;\nHEADER;\n");
  const char* const info =
      "  element 0: 4 parts, 23 faces, 45 edges, 5 colours; written by the Open CASCADE kernel 7.6\n"
      "    part 0: 'block', 7 faces, 15 edges, colours #00ff00 #ff0000\n"
      "    part 1: 'block', 7 faces, 15 edges, colours #00ff00 #ff0000\n"
      "    part 2: 'pair', 6 faces, 12 edges, colours #0000ff\n"
      "    part 3: 'pair', 3 faces, 3 edges, colours none #ffff00\n";
  const char* const refused = "kmbrep: cannot read '$/bad.step': not a valid STEP file\n";
  const struct {
    const char* args;  // $ stands for the test's folder
    int exitCode;
    const char* out;  // within standard output
    const char* err;  // all of standard error
  } steps[] = {
      {"import $/m.step $/h.mv61", 0, "$/h.mv61: 4 part(s), ", ""},
      {"info $/h.mv61 --parts", 0, info, ""},
      {"transmit $/h.mv61 $/k --binary", 0, "$/k.x_b: 4 part(s)\n", ""},
      {"import $/k $/h.mv61", 0, "$/h.mv61: 4 part(s), ", ""},
      {"info $/h.mv61 --parts", 0, info, ""},
      {"export $/h.mv61 $/o.obj", 0, "$/o.obj: ", ""},
      {"convert $/m.step $/o.gltf", 0, "$/o.gltf: ", ""},
      {"convert $/bad.step $/bad.gltf", 1, "", refused},
      {"import $/bad.step $/bad.mv61", 1, "", refused},
  };
  for (const auto& s : steps) {
    const ToolRun run = kmbrep(expand(s.args, dir));
    EXPECT_EQ(run.exitCode, s.exitCode) << s.args;
    EXPECT_NE(run.out.find(expand(s.out, dir)), std::string::npos) << s.args << "\n" << run.out;
    EXPECT_EQ(run.err, expand(s.err, dir)) << s.args;
  }
  for (const char* name : {"/bad.gltf", "/bad.mv61"}) EXPECT_FALSE(exists(dir + name)) << name;
}

}  // namespace
}  // namespace occttest
