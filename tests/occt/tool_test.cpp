// kmbrep on model files and on host files of Open CASCADE parts.
#include "occt/occt_support.h"
#include "system/tool_run.h"

namespace occttest {
namespace {

using tooltest::ToolRun;

ToolRun kmbrep(const std::string& args) {
  return tooltest::runTool(KMBREP_EXE, args, tempPath("tool_stdout.txt"), tempPath("tool_stderr.txt"));
}

struct Step {
  std::string args;
  int exitCode;
  std::string out;  // expected within standard output
  std::string err;  // standard error, whole
};

using OcctTool = OcctTest;

TEST_F(OcctTool, ImportConvertInfoTransmitAndRefusals) {
  const std::string model = tempPath("tool.step"), host = tempPath("tool.mv61"), key = tempPath("tool_parts"),
                    bad = tempPath("tool_bad.step");
  writeColoredModel(model);
  writeAll(bad, "ISO-10303-21;\nHEADER;\n");
  const std::string info =
      std::string("  element 0: 4 parts, 23 faces, 45 edges, 5 colours; written by the Open CASCADE kernel 7.6\n"
             "    part 0: 'block', 7 faces, 15 edges, colours #00ff00 #ff0000\n"
             "    part 1: 'block', 7 faces, 15 edges, colours #00ff00 #ff0000\n"
             "    part 2: 'pair', 6 faces, 12 edges, colours #0000ff\n"
             "    part 3: 'pair', 3 faces, 3 edges, colours none #ffff00\n");
  const Step steps[] = {
      {"import " + model + " " + host, 0, host + ": 4 part(s), ", ""},
      {"info " + host + " --parts", 0, info, ""},
      {"transmit " + host + " " + key + " --binary", 0, key + ".x_b: 4 part(s)\n", ""},
      {"import " + key + " " + host, 0, host + ": 4 part(s), ", ""},
      {"info " + host + " --parts", 0, info, ""},
      {"export " + host + " " + tempPath("tool.obj"), 0, tempPath("tool.obj") + ": ", ""},
      {"convert " + model + " " + tempPath("tool.gltf"), 0, tempPath("tool.gltf") + ": ", ""},
      {"convert " + bad + " " + tempPath("bad.gltf"), 1, "", "kmbrep: cannot read '" + bad + "': not a valid STEP file\n"},
      {"import " + bad + " " + tempPath("bad.mv61"), 1, "", "kmbrep: cannot read '" + bad + "': not a valid STEP file\n"},
  };
  for (const Step& s : steps) {
    const ToolRun run = kmbrep(s.args);
    EXPECT_EQ(run.exitCode, s.exitCode) << s.args;
    EXPECT_NE(run.out.find(s.out), std::string::npos) << s.args << "\n" << run.out;
    EXPECT_EQ(run.err, s.err) << s.args;
  }
  EXPECT_FALSE(std::ifstream(tempPath("bad.gltf")).good());
  EXPECT_FALSE(std::ifstream(tempPath("bad.mv61")).good());
}

}  // namespace
}  // namespace occttest
