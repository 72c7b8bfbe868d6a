// Model files through the Open CASCADE adapter, and the demo's bracket.
#include <chrono>
#include <cstdio>

#include "app/demo_bracket.h"
#include "app/occt_app.h"
#include "kmbrep/display_model.h"
#include "kmbrep/export_gltf.h"
#include "kmbrep/export_svg.h"
#include "kmbrep/kernels.h"
#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"
#include "kmbrep/scene.h"

namespace kmbrep {
namespace {

double msSince(std::chrono::steady_clock::time_point& since) {
  const auto now = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(now - since).count();
  since = now;
  return ms;
}

// The bracket's parts written as a STEP file to path.
void writeBracketStep(const std::string& path) {
  std::vector<int> made;
  struct Release {
    std::vector<int>& tags;
    ~Release() { kocct::deleteParts(static_cast<int>(tags.size()), tags.data()); }
  } release{made};
  for (const kocct::Part& part : kocctapp::bracketParts()) {
    int tag = 0;
    if (kocct::addPart(part, tag) != kocct::kOk) throw ToolError("cannot build the bracket: " + kocct::lastError());
    made.push_back(tag);
  }
  if (kocct::exportStep(path, made) != kocct::kOk) throw ToolError(kocct::lastError());
}

}  // namespace

std::vector<LoadedElement> readModelFile(const std::string& path) {
  std::vector<int> tags;
  if (kocct::importModel(path, tags) != kocct::kOk) throw ToolError(kocct::lastError());
  LoadedElement loaded;
  loaded.element = new MvKMBrep();
  MvVec<int> parts;
  if (!loaded.element || !parts.append(tags.data(), static_cast<int>(tags.size())) ||
      !loaded.element->appendKmPart(parts, 0)) {
    kocct::deleteParts(static_cast<int>(tags.size()), tags.data());
    throw toolError("cannot add the parts to an element");
  }
  kocct::version(loaded.kernelMajor, loaded.kernelMinor);
  return {loaded};
}

int runOcctDemo(const std::vector<std::string>& args) {
  const std::string dir = args.size() == 2 ? args[1] : "out";
  KernelSession session(Kernel::Occt);
  auto clock = std::chrono::steady_clock::now();
  const std::string step = dir + "/bracket.step", host = dir + "/bracket.mv61";
  {
    OutputFile out(step);
    writeBracketStep(out.tempPath());
    out.commit();
  }
  const double tBuild = msSince(clock);
  const MvAutoPtr<MvKMBrep> element = readModelFile(step)[0].element;
  OutputFile hostOut(host);
  const long long hostBytes = writeHostFile(hostOut.tempPath(), host, {element.get()});
  hostOut.commit();
  const double tImport = msSince(clock);
  const DisplayModel model = tessellate({element.get()}, TessChoice());
  const Scene whole = wholeScene(model, element->kmPart().length());
  exportGltf(whole, dir + "/bracket.gltf", GltfForm::Text);
  PictureOptions picture;
  picture.caption = "bracket.step";
  exportSvg(whole, dir + "/bracket.svg", picture);
  const double tExport = msSince(clock);
  std::printf("kmbrep demo (Open CASCADE): %s, %d parts\n", step.c_str(), element->kmPart().length());
  std::printf("  host file     %s: %lld bytes\n", host.c_str(), hostBytes);
  std::printf("  display       %lld triangles in %d colours, %d edge polylines\n", model.triangles, model.colors,
              model.polylines);
  std::printf("  exports       %s/bracket.gltf, %s/bracket.svg\n", dir.c_str(), dir.c_str());
  std::printf("  time (ms)     build and write STEP %.1f, import %.1f, tessellate and export %.1f\n", tBuild, tImport,
              tExport);
  return 0;
}

}  // namespace kmbrep
