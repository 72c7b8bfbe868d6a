// The Open CASCADE adapter's figures:
//  - kmbrep convert MODEL.step OUT.gltf against OCCT's own route
//    (occt_gltf_baseline), both as processes timed by their CPU time, on a
//    grid of 12 x 12 brackets with pins (3,024 faces, none shared);
//  - the element's host-stream round trip (serialize and deserialize
//    through a memory stream) of those parts against OCCT writing the same
//    shapes in its binary format to memory and reading them back.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <BRepBuilderAPI_Copy.hxx>
#include <BRep_Builder.hxx>
#include <BinTools.hxx>
#include <TopoDS_Compound.hxx>

#include "app/demo_bracket.h"
#include "app/occt_app.h"
#include "bench_kernel.h"
#include "paired.h"

extern char** environ;

namespace mvbench {
namespace {

constexpr int kGrid = 12;

// The grid's parts with geometry of their own (copied), so that every face
// is meshed and written.
std::vector<kocct::Part> gridParts() {
  std::vector<kocct::Part> parts = kocctapp::bracketGrid(kGrid, kGrid);
  for (kocct::Part& p : parts) p.shape = BRepBuilderAPI_Copy(p.shape).Shape();
  return parts;
}

std::vector<int> addParts(const std::vector<kocct::Part>& parts) {
  std::vector<int> tags;
  for (const kocct::Part& p : parts) {
    int tag = 0;
    if (kocct::addPart(p, tag) == kocct::kOk) tags.push_back(tag);
  }
  return tags;
}

// The grid as a STEP file, written once.
const std::string& modelPath() {
  static const std::string path = [] {
    const std::string file = scratchDirectory() + "/grid.step";
    kocctapp::OcctApp app;
    const std::vector<int> tags = addParts(gridParts());
    kocct::exportStep(file, tags);
    kocct::deleteParts(static_cast<int>(tags.size()), tags.data());
    return file;
  }();
  return path;
}

// Runs a program; its CPU seconds (user and system), -1 when it failed.
// The triangle count it prints first on standard output lands in triangles.
double runChild(const std::vector<std::string>& args, long long& triangles) {
  const std::string out = scratchDirectory() + "/child_stdout.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1.0;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
  std::ifstream in(out);
  std::string word;
  // "<count> triangles" (baseline) or "OUT: <count> triangles" (kmbrep).
  while (in >> word) {
    if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0]))) {
      triangles = std::stoll(word);
      break;
    }
  }
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

void BM_OcctConvertGltf(benchmark::State& state) {
  const std::string model = modelPath();
  long long ours = 0, theirs = 0;
  runPaired(
      state,
      [&] { return runChild({MV_OCCT_GLTF_BASELINE, model, scratchDirectory() + "/baseline.gltf"}, theirs); },
      [&] {
        return runChild({MV_KMBREP, "convert", model, scratchDirectory() + "/kmbrep.gltf", "--quiet"}, ours);
      });
  state.counters["triangles"] = static_cast<double>(ours);
  state.counters["base_triangles"] = static_cast<double>(theirs);
}

void BM_OcctHostStreamRoundTrip(benchmark::State& state) {
  kocctapp::OcctApp app;
  const std::vector<kocct::Part> parts = gridParts();
  const std::vector<int> tags = addParts(parts);
  MvAutoPtr<MvKMBrep> element(new MvKMBrep());
  MvVec<int> list;
  list.append(tags.data(), static_cast<int>(tags.size()));
  element->appendKmPart(list, 0);
  TopoDS_Compound compound;
  BRep_Builder builder;
  builder.MakeCompound(compound);
  for (const kocct::Part& p : parts) builder.Add(compound, p.shape);
  runPaired(
      state,
      [&] {
        TopoDS_Shape back;
        const double seconds = timed([&] {
          std::stringstream memory(std::ios::in | std::ios::out | std::ios::binary);
          BinTools::Write(compound, memory, false, false, BinTools_FormatVersion_VERSION_4);
          BinTools::Read(back, memory);
          return !back.IsNull();
        });
        return seconds;
      },
      [&] {
        MvAutoPtr<MvKMBrep> copy(new MvKMBrep());
        const double seconds = timed([&] {
          MvAutoPtr<MvMemoryStream> stream(new MvMemoryStream());
          if (!stream || !element->serialize(*stream) || !stream->seek(0)) return false;
          return copy->deserialize(*stream) != 0 && copy->kmPart().length() == element->kmPart().length();
        });
        return seconds;
      });
}

}  // namespace

BENCHMARK(BM_OcctConvertGltf)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OcctHostStreamRoundTrip)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

}  // namespace mvbench
