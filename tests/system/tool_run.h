// Runs the kmbrep tool as a user would and collects what it prints.
#ifndef TESTS_SYSTEM_TOOL_RUN_H
#define TESTS_SYSTEM_TOOL_RUN_H

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace tooltest {

struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

using testfiles::readAll;

const auto writeFile = testfiles::writeAll;

inline bool exists(const std::string& path) { return std::ifstream(path).good(); }

// The files of a folder left by unfinished outputs.
inline int temporaries(const std::string& dir) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    n += entry.path().filename().string().rfind(".kmbrep-", 0) == 0;
  return n;
}

// A path as the command interpreter takes it: Windows' cmd.exe reads a '/' in a command name as a switch.
inline std::string commandPath(std::string path) {
#if defined(_WIN32)
  for (char& c : path) c = c == '/' ? '\\' : c;
#endif
  return path;
}

// Runs `exe args`; out and err name the files the output goes to (so that several runs may go on at once).
inline ToolRun runTool(const std::string& exe, const std::string& args, const std::string& out,
                       const std::string& err) {
  const std::string command = commandPath(exe) + " " + args + " >" + out + " 2>" + err;
  const int status = std::system(command.c_str());
  ToolRun run{-1, readAll(out, std::ios::in), readAll(err, std::ios::in)};  // as text: Windows ends lines with CR LF
#if defined(_WIN32)
  run.exitCode = status;
#else
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return run;
}

// Runs the tool, its output kept in the running test's own folder (as Tool makes it).
inline ToolRun kmbrep(const std::string& args) {
  const std::string dir = testfiles::tempRoot() + "/tool_" + testfiles::testName();
  return runTool(KMBREP_EXE, args, dir + "/stdout.txt", dir + "/stderr.txt");
}

// A test's text with $ standing for its folder and % for the system's "No such file" text.
inline std::string expand(const std::string& text, const std::string& dir) {
  std::string out;
  for (char c : text) out += c == '$' ? dir : c == '%' ? std::strerror(ENOENT) : std::string(1, c);
  return out;
}

// A test with a fresh folder of its own, removed after it.
class Tool : public ::testing::Test {
 protected:
  const testfiles::ScratchDir scratch{"tool_"};
  const std::string dir = scratch.str();
};

// A test whose folder holds the demo model in d/.
class DemoTool : public Tool {
 protected:
  void SetUp() override { ASSERT_EQ(kmbrep("demo --out " + dir + "/d").exitCode, 0); }
};

}  // namespace tooltest

#endif
