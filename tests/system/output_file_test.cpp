// The tool's output files: write and rename faults, targets that are not regular files, links, concurrent writers.
#include "system/tool_run.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tooltest;

struct FaultCase {
  const char* name;
  const char* fault;
  const char* args;  // $ stands for the test's folder
  std::vector<const char*> targets;
  std::string error;  // what the message says
  std::vector<const char*> absent = {};  // files of the output that were not there before
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class OutputFault : public DemoTool, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(OutputFault, KeepsOldTargetsAndRemovesTemporaries) {
  const FaultCase& c = GetParam();
  std::filesystem::create_directories(dir + "/d2");
  for (const char* t : c.targets) writeFile(dir + "/" + t, std::string("old ") + t);
  testfiles::setEnv("KMBREP_FAULT", c.fault);
  const ToolRun run = runTool(KMBREP_FAULTS_EXE, expand(c.args, dir), dir + "/stdout.txt", dir + "/stderr.txt");
  testfiles::setEnv("KMBREP_FAULT", nullptr);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
  for (const char* t : c.targets) EXPECT_EQ(readAll(dir + "/" + t), std::string("old ") + t) << t;
  for (const char* a : c.absent) EXPECT_FALSE(exists(dir + "/" + a)) << a;
  for (const char* sub : {"", "/d", "/d2"}) EXPECT_EQ(temporaries(dir + sub), 0) << sub;
}

const std::string kNoSpace = std::strerror(ENOSPC);
const std::string kCrossDevice = std::strerror(EXDEV);

INSTANTIATE_TEST_SUITE_P(
    Tool, OutputFault,
    ::testing::Values(
        FaultCase{"ImportRename", "rename@1", "import $/d/demo $/o.mv61", {"o.mv61"}, kCrossDevice},
        FaultCase{"TransmitRename", "rename@1", "transmit $/d/demo.mv61 $/o", {"o.x_t"}, kCrossDevice},
        FaultCase{"ObjMaterialWrite", "write@1", "export $/d/demo.mv61 $/o.obj", {"o.obj", "o.mtl"}, kNoSpace},
        FaultCase{"ObjWrite", "write@2", "export $/d/demo.mv61 $/o.obj", {"o.obj", "o.mtl"}, kNoSpace},
        FaultCase{"ObjRename", "rename@1", "export $/d/demo.mv61 $/o.obj", {"o.obj", "o.mtl"}, kCrossDevice},
        FaultCase{"ObjSecondRename", "rename@2", "export $/d/demo.mv61 $/o.obj", {"o.obj", "o.mtl"}, kCrossDevice},
        FaultCase{"ObjSecondRenameNew", "rename@2", "export $/d/demo.mv61 $/o.obj", {"o.obj"}, kCrossDevice, {"o.mtl"}},
        FaultCase{"GltfWrite", "write@1", "export $/d/demo.mv61 $/o.gltf", {"o.gltf"}, kNoSpace},
        FaultCase{"DemoLastWrite", "write@5", "demo --out $/d2",
                  {"d2/demo.mv61", "d2/demo.x_t", "d2/demo.obj", "d2/demo.mtl", "d2/demo.svg", "d2/demo.gltf"}, kNoSpace},
        FaultCase{"DemoThirdMove", "rename@8", "demo --out $/d2", {"d2/demo.mv61", "d2/demo.x_t", "d2/demo.obj", "d2/demo.svg"},
                  kCrossDevice, {"d2/demo.mtl", "d2/demo.gltf"}},
        FaultCase{"OutOfMemory", "alloc@1", "import $/d/demo $/o.mv61", {"o.mv61"}, "kmbrep: out of memory"},
        FaultCase{"SvgRename", "rename@1", "export $/d/demo.mv61 $/o.svg", {"o.svg"}, kCrossDevice}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(DemoTool, RefusesTargetsThatAreNotRegularFiles) {
  std::vector<std::string> targets = {dir + "/d"};
#if !defined(_WIN32)
  targets.push_back("/dev/null");
  const std::string fifo = dir + "/fifo.mv61";
  ASSERT_EQ(std::system(("mkfifo " + fifo).c_str()), 0);
  targets.push_back(fifo);
#endif
  for (const std::string& target : targets) {
    const ToolRun run = kmbrep("import " + dir + "/d/demo " + target);
    EXPECT_EQ(run.exitCode, 1) << target;
    EXPECT_EQ(run.err, "kmbrep: '" + target + "' is not a regular file\n");
  }
  EXPECT_EQ(temporaries(dir), 0);
}

#if !defined(_WIN32)
// The temporary's name is short: a target name of 255 bytes, the most the system allows, is written. A link is
// followed: the file it points to is replaced, the link stays.
TEST_F(DemoTool, WritesTheLongestNameAndThroughALink) {
  writeFile(dir + "/real.mv61", "old");
  std::filesystem::create_symlink("real.mv61", dir + "/link.mv61");
  const std::string longest = dir + "/" + std::string(250, 'n') + ".mv61";
  for (const auto& [target, file] : {std::pair{longest, longest}, {dir + "/link.mv61", dir + "/real.mv61"}}) {
    const ToolRun run = kmbrep("import " + dir + "/d/demo " + target);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readAll(file), readAll(dir + "/d/demo.mv61")) << target;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.mv61"));
}
#endif

// Writers of one target never share a temporary: whenever one succeeds the target is a complete file.
TEST_F(DemoTool, ConcurrentWritersLeaveACompleteFile) {
  const std::string expected = readAll(dir + "/d/demo.mv61");
  constexpr int kWriters = 6;
  std::vector<int> codes(kWriters, -1);
  std::vector<std::thread> writers;
  for (int i = 0; i < kWriters; ++i) {
    writers.emplace_back([&, i] {
      const std::string n = std::to_string(i);
      codes[static_cast<size_t>(i)] = runTool(KMBREP_EXE, "import " + dir + "/d/demo " + dir + "/out.mv61",
                                              dir + "/out" + n + ".txt", dir + "/err" + n + ".txt")
                                          .exitCode;
    });
  }
  for (std::thread& t : writers) t.join();
#if defined(_WIN32)
  // Windows refuses a replace while another process replaces the file: writers may fail cleanly; one succeeds.
  EXPECT_NE(std::count(codes.begin(), codes.end(), 0), 0);
  for (int code : codes) EXPECT_TRUE(code == 0 || code == 1) << code;
#else
  for (int code : codes) EXPECT_EQ(code, 0);
#endif
  EXPECT_EQ(readAll(dir + "/out.mv61"), expected);
  EXPECT_EQ(temporaries(dir), 0);
}

}  // namespace
