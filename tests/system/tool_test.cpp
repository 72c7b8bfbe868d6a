#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

// A folder of the running test's own, so tests may run side by side.
std::string tempDir() {
  const char* dir = std::getenv("MV_TEST_TMP");
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(dir && *dir ? dir : "/tmp") + "/tool_" + test->name();
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The tool's console output, read as text: Windows ends its lines with CR LF.
std::string readText(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) { return std::ifstream(path).good(); }

// The tool's path as the command interpreter takes it: Windows' cmd.exe
// reads a '/' in a command name as the start of a switch.
std::string toolPath() {
  std::string path = KMBREP_EXE;
#if defined(_WIN32)
  for (char& c : path) c = c == '/' ? '\\' : c;
#endif
  return path;
}

ToolRun kmbrep(const std::string& args) {
  const std::string dir = tempDir();
  const std::string out = dir + "/stdout.txt", err = dir + "/stderr.txt";
  const std::string command = toolPath() + " " + args + " >" + out + " 2>" + err;
  const int status = std::system(command.c_str());
  ToolRun run{-1, readText(out), readText(err)};
#if defined(_WIN32)
  run.exitCode = status;
#else
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return run;
}

int lineCount(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = tempDir();
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    ASSERT_FALSE(error) << error.message();
  }
  std::string dir;
};

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
  EXPECT_FALSE(exists(dir + "/corrupt.obj.partial"));

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

}  // namespace
