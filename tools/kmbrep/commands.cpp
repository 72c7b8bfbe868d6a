#include "kmbrep/commands.h"

#include "app/demo_model.h"
#include "app/sample_app.h"
#include "kmbrep/display_model.h"
#include "kmbrep/export_gltf.h"
#include "kmbrep/export_obj.h"
#include "kmbrep/export_svg.h"
#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>

#if defined(_WIN32)
#include <direct.h>
#endif

namespace kmbrep {

namespace {

constexpr int kDemoBodies = 24;

// Starts the library and the sample kernel for one command.
class Session {
 public:
  Session() {
    if (!_app.ok()) throw ToolError{"cannot start the kernel: " + _app.error()};
  }

 private:
  ksamplehost::SampleApp _app;
};

bool endsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

void makeDirectory(const std::string& dir) {
#if defined(_WIN32)
  _mkdir(dir.c_str());
#else
  mkdir(dir.c_str(), 0777);
#endif
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !(st.st_mode & S_IFDIR)) throw ToolError{"cannot create directory " + dir};
}

std::vector<MvKMBrep*> pointers(const std::vector<LoadedElement>& loaded) {
  std::vector<MvKMBrep*> out;
  for (const LoadedElement& l : loaded) out.push_back(l.element.get());
  return out;
}

std::vector<int> allParts(const std::vector<LoadedElement>& loaded) {
  std::vector<int> tags;
  for (const LoadedElement& l : loaded)
    for (int i = 0; i < l.element->kmPart().length(); ++i) tags.push_back(l.element->kmPart()[i]);
  return tags;
}

class Stopwatch {
 public:
  double lap() {
    const auto now = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - _last).count();
    _last = now;
    return ms;
  }

 private:
  std::chrono::steady_clock::time_point _last = std::chrono::steady_clock::now();
};

TessChoice parseTessChoice(const Args& args, size_t from) {
  TessChoice choice;
  for (size_t i = from; i < args.size(); ++i) {
    if (args[i] == "--absolute") {
      choice.absolute = true;
    } else if (args[i] == "--level" && i + 1 < args.size()) {
      const std::string& v = args[++i];
      if (v != "0" && v != "1" && v != "2") throw UsageError{"--level takes 0, 1 or 2"};
      choice.level = v[0] - '0';
    } else {
      throw UsageError{"unknown option '" + args[i] + "'"};
    }
  }
  return choice;
}

}  // namespace

int runDemo(const Args& args) {
  std::string dir = "out";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--out" && i + 1 < args.size())
      dir = args[++i];
    else
      throw UsageError{"unknown option '" + args[i] + "'"};
  }
  makeDirectory(dir);
  Session session;
  Stopwatch clock;

  const std::vector<int> tags = ksamplehost::buildDemoModel(kDemoBodies);
  if (tags.empty()) throw ToolError{"cannot build the demo model: " + ksample::lastError()};
  MvAutoPtr<MvKMBrep> element(new MvKMBrep());
  if (!element) throw ToolError{"out of memory"};
  MvVec<int> parts;
  parts.append(tags.data(), static_cast<int>(tags.size()));
  if (!element->appendKmPart(parts, 0)) throw ToolError{firstReport("cannot add the parts")};
  const double tBuild = clock.lap();

  const std::string hostPath = dir + "/demo.mv61";
  const long long hostBytes = writeHostFile(hostPath, {element.get()});
  const double tWrite = clock.lap();

  const std::vector<LoadedElement> loaded = readHostFile(hostPath);
  if (loaded.size() != 1 || loaded[0].element->kmPart().length() != static_cast<int>(tags.size()))
    throw ToolError{hostPath + ": read back a different model"};
  for (size_t i = 0; i < tags.size(); ++i) {
    if (!ksample::sameBody(tags[i], loaded[0].element->kmPart()[static_cast<int>(i)]))
      throw ToolError{hostPath + ": part " + std::to_string(i) + " read back differently"};
  }
  const double tRead = clock.lap();

  const DisplayModel model = tessellate(pointers(loaded), TessChoice());
  const double tTess = clock.lap();

  const std::string xt = writeTransmitFile(dir + "/demo", tags, ksample::Format::Text);
  const long long objTriangles = exportObj(model, dir + "/demo.obj");
  exportSvg(model, dir + "/demo.svg");
  exportGltf(model, dir + "/demo.gltf");
  const double tExport = clock.lap();

  const int segmentBytes = firstSegmentLength(hostPath);
  std::printf("kmbrep demo: %zu parts of %d kinds\n", tags.size(), 3);
  std::printf("  host file     %s: %lld bytes (kernel segment %d bytes)\n", hostPath.c_str(), hostBytes,
              segmentBytes);
  std::printf("  kernel file   %s\n", xt.c_str());
  std::printf("  display       %lld triangles in %d colours (%d shapes), %d edge polylines\n", model.triangles,
              model.colours, model.shapes.length(), model.polylines);
  std::printf("  exports       %s/demo.obj (%lld triangles), %s/demo.mtl, %s/demo.svg, %s/demo.gltf\n",
              dir.c_str(), objTriangles, dir.c_str(), dir.c_str(), dir.c_str());
  std::printf("  time (ms)     build %.1f, write %.1f, read %.1f, tessellate %.1f, export %.1f\n", tBuild, tWrite,
              tRead, tTess, tExport);
  return 0;
}

int runInfo(const Args& args) {
  if (args.size() != 1) throw UsageError{"info takes one host file"};
  Session session;
  const std::vector<LoadedElement> loaded = readHostFile(args[0]);
  std::printf("%s: %zu element(s)\n", args[0].c_str(), loaded.size());
  for (size_t i = 0; i < loaded.size(); ++i) {
    const MvKMBrep& e = *loaded[i].element;
    std::printf("  element %zu: %d part(s), kernel version %d.%d\n", i, e.kmPart().length(), loaded[i].kernelMajor,
                loaded[i].kernelMinor);
    for (int p = 0; p < e.kmPart().length(); ++p) {
      ksample::BodyRecord body;
      const char* kind = "unknown";
      if (ksample::bodyRecord(e.kmPart()[p], body))
        kind = body.kind == ksample::BodyKind::Box ? "box" : body.kind == ksample::BodyKind::Cylinder ? "cylinder"
                                                                                                       : "sphere";
      std::printf("    part %d: %s, %d faces, %d edges\n", p, kind, ksample::faceCount(e.kmPart()[p]),
                  ksample::edgeCount(e.kmPart()[p]));
    }
  }
  return 0;
}

int runExport(const Args& args) {
  if (args.size() < 2) throw UsageError{"export takes a host file and an output file"};
  const std::string& out = args[1];
  if (!endsWith(out, ".obj") && !endsWith(out, ".svg") && !endsWith(out, ".gltf"))
    throw UsageError{"the output must end in .obj, .svg or .gltf"};
  const TessChoice choice = parseTessChoice(args, 2);
  Session session;
  const std::vector<LoadedElement> loaded = readHostFile(args[0]);
  if (allParts(loaded).empty()) throw ToolError{args[0] + ": the model is empty"};
  const DisplayModel model = tessellate(pointers(loaded), choice);
  const long long drawn = endsWith(out, ".obj")   ? exportObj(model, out)
                          : endsWith(out, ".gltf") ? exportGltf(model, out)
                                                   : exportSvg(model, out);
  std::printf("%s: %lld triangles\n", out.c_str(), drawn);
  return 0;
}

int runTransmit(const Args& args) {
  if (args.size() < 2 || args.size() > 3) throw UsageError{"transmit takes a host file, a key and a format"};
  ksample::Format format = ksample::Format::Text;
  if (args.size() == 3) {
    if (args[2] == "--binary")
      format = ksample::Format::Binary;
    else if (args[2] != "--text")
      throw UsageError{"unknown option '" + args[2] + "'"};
  }
  Session session;
  // The elements own the parts: they must live until the transmit is done.
  const std::vector<LoadedElement> loaded = readHostFile(args[0]);
  const std::vector<int> tags = allParts(loaded);
  if (tags.empty()) throw ToolError{args[0] + ": the model is empty"};
  const std::string name = writeTransmitFile(args[1], tags, format);
  std::printf("%s: %zu part(s)\n", name.c_str(), tags.size());
  return 0;
}

int runImport(const Args& args) {
  if (args.size() != 2) throw UsageError{"import takes a key and an output host file"};
  Session session;
  const std::vector<int> tags = readTransmitFile(args[0]);
  if (tags.empty()) throw ToolError{args[0] + ": the model is empty"};
  MvAutoPtr<MvKMBrep> element(new MvKMBrep());
  MvVec<int> parts;
  parts.append(tags.data(), static_cast<int>(tags.size()));
  if (!element || !element->appendKmPart(parts, 0)) throw ToolError{firstReport("cannot add the parts")};
  const long long bytes = writeHostFile(args[1], {element.get()});
  std::printf("%s: %zu part(s), %lld bytes\n", args[1].c_str(), tags.size(), bytes);
  return 0;
}

}  // namespace kmbrep
