#include "kmbrep/commands.h"

#include "app/demo_model.h"
#include "app/sample_app.h"
#include "kmbrep/display_model.h"
#include "kmbrep/export_gltf.h"
#include "kmbrep/export_obj.h"
#include "kmbrep/export_svg.h"
#include "kmbrep/file_system.h"
#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>

namespace kmbrep {

namespace {

constexpr int kDemoBodies = 24;

// Starts the library and the sample kernel for one command.
class Session {
 public:
  Session() {
    if (!_app.ok()) throw ToolError("cannot start the kernel: " + _app.error());
  }

 private:
  ksamplehost::SampleApp _app;
};

bool endsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

std::string withExtension(const std::string& path, const char* ext) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExt ? path.substr(0, dot) : path) + ext;
}

void makeDirectory(const std::string& dir) {
  const int error = fs::createDirectory(dir);
  fs::Kind kind = fs::Kind::Missing;
  if (error == EEXIST && fs::kindOf(dir, kind) == 0 && kind == fs::Kind::Other) return;
  if (error) throw ToolError("cannot create the folder '" + dir + "': " + fs::reason(error));
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

// Refuses an output that is one of the command's inputs: writing it would
// destroy what is being read.
void refuseInputAsOutput(const std::vector<std::string>& outputs, const std::string& input) {
  for (const std::string& out : outputs) {
    if (fs::sameFile(out, input)) throw UsageError{"the output '" + out + "' is the input '" + input + "': choose another output"};
  }
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

struct OptionSpec {
  const char* name;
  const char* value;  // what the value is, for messages; null for a flag
};

// A command line: the arguments in order, and each option given (at most
// once) with its value ("" for a flag).
struct CommandLine {
  std::vector<std::string> operands;
  std::map<std::string, std::string> options;
  bool has(const char* name) const { return options.count(name) != 0; }
};

CommandLine parse(const Args& args, const std::vector<OptionSpec>& specs) {
  CommandLine line;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
      line.operands.push_back(a);
      continue;
    }
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : specs) spec = a == s.name ? &s : spec;
    if (!spec) throw UsageError{"unknown option '" + a + "'"};
    if (line.has(spec->name)) throw UsageError{a + " is given twice"};
    std::string value;
    if (spec->value) {
      if (i + 1 >= args.size() || args[i + 1].compare(0, 2, "--") == 0)
        throw UsageError{a + " needs a value: " + spec->value};
      value = args[++i];
    }
    line.options[spec->name] = value;
  }
  return line;
}

void refuseTogether(const CommandLine& line, const char* a, const char* b) {
  if (line.has(a) && line.has(b)) throw UsageError{std::string(a) + " and " + b + " cannot be used together"};
}

// The format option given, or null.
const char* formatOption(const CommandLine& line) {
  refuseTogether(line, "--text", "--binary");
  return line.has("--text") ? "--text" : line.has("--binary") ? "--binary" : nullptr;
}

TessChoice tessChoiceOf(const CommandLine& line) {
  refuseTogether(line, "--level", "--absolute");
  TessChoice choice;
  choice.absolute = line.has("--absolute");
  if (line.has("--level")) {
    const std::string& v = line.options.at("--level");
    if (v != "0" && v != "1" && v != "2") throw UsageError{"--level takes 0, 1 or 2, not '" + v + "'"};
    choice.level = v[0] - '0';
  }
  return choice;
}

long long triangleLimitOf(const CommandLine& line) {
  if (!line.has("--max-triangles")) return kDefaultMaxTriangles;
  const std::string& v = line.options.at("--max-triangles");
  constexpr size_t kMaxDigits = 15;
  const bool digits = !v.empty() && v.size() <= kMaxDigits && v.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoll(v) == 0) throw UsageError{"--max-triangles takes a positive count, not '" + v + "'"};
  return std::stoll(v);
}

}  // namespace

int runDemo(const Args& args) {
  const CommandLine line = parse(args, {{"--out", "a folder"}});
  if (!line.operands.empty()) throw UsageError{"demo takes no file, only --out DIR"};
  const std::string dir = line.has("--out") ? line.options.at("--out") : "out";
  makeDirectory(dir);
  Session session;
  Stopwatch clock;

  const std::vector<int> tags = ksamplehost::buildDemoModel(kDemoBodies);
  if (tags.empty()) throw toolError("cannot build the demo model");
  MvAutoPtr<MvKMBrep> element(new MvKMBrep());
  if (!element) throw ToolError("out of memory");
  MvVec<int> parts;
  parts.append(tags.data(), static_cast<int>(tags.size()));
  if (!element->appendKmPart(parts, 0)) throw toolError("cannot add the parts to an element");
  const double tBuild = clock.lap();

  // Every file is made in a folder of its own and moved into place only
  // when all of them are complete.
  StagingFolder staging(dir);
  const std::string hostPath = dir + "/demo.mv61";
  const std::string hostStaged = staging.path("demo.mv61");
  const long long hostBytes = writeHostFile(hostStaged, hostPath, {element.get()});
  const double tWrite = clock.lap();

  const std::vector<LoadedElement> loaded = readHostFile(hostStaged, hostPath);
  if (loaded.size() != 1 || loaded[0].element->kmPart().length() != static_cast<int>(tags.size()))
    throw ToolError("'" + hostPath + "' read back a different model");
  for (size_t i = 0; i < tags.size(); ++i) {
    if (!ksample::sameBody(tags[i], loaded[0].element->kmPart()[static_cast<int>(i)]))
      throw ToolError("'" + hostPath + "': part " + std::to_string(i) + " read back differently");
  }
  const double tRead = clock.lap();

  const DisplayModel model = tessellate(pointers(loaded), TessChoice());
  const double tTess = clock.lap();

  const KernelFile kernelFile = kernelFileOf(dir + "/demo", "--text");
  writeTransmitFile(staging.path("demo.x_t"), kernelFile, tags);
  staging.path("demo.mtl");
  const long long objTriangles = exportObj(model, staging.path("demo.obj"));
  exportSvg(model, staging.path("demo.svg"));
  exportGltf(model, staging.path("demo.gltf"));
  const int segmentBytes = firstSegmentLength(hostStaged);
  staging.commit();
  const double tExport = clock.lap();

  std::printf("kmbrep demo: %zu parts of %d kinds\n", tags.size(), 3);
  std::printf("  host file     %s: %lld bytes (kernel segment %d bytes)\n", hostPath.c_str(), hostBytes,
              segmentBytes);
  std::printf("  kernel file   %s\n", kernelFile.name().c_str());
  std::printf("  display       %lld triangles in %d colours (%d shapes), %d edge polylines\n", model.triangles,
              model.colours, model.shapes.length(), model.polylines);
  std::printf("  exports       %s/demo.obj (%lld triangles), %s/demo.mtl, %s/demo.svg, %s/demo.gltf\n",
              dir.c_str(), objTriangles, dir.c_str(), dir.c_str(), dir.c_str());
  std::printf("  time (ms)     build %.1f, write %.1f, read %.1f, tessellate %.1f, export %.1f\n", tBuild, tWrite,
              tRead, tTess, tExport);
  return 0;
}

int runInfo(const Args& args) {
  const CommandLine line = parse(args, {});
  if (line.operands.size() != 1) throw UsageError{"info takes one host file"};
  const std::string& path = line.operands[0];
  Session session;
  const std::vector<LoadedElement> loaded = readHostFile(path);
  std::printf("%s: %zu element(s)\n", path.c_str(), loaded.size());
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
  const CommandLine line =
      parse(args, {{"--level", "0, 1 or 2"}, {"--absolute", nullptr}, {"--max-triangles", "a count"}});
  if (line.operands.size() != 2) throw UsageError{"export takes a host file and an output file"};
  const std::string& in = line.operands[0];
  const std::string& out = line.operands[1];
  const bool obj = endsWith(out, ".obj");
  if (!obj && !endsWith(out, ".svg") && !endsWith(out, ".gltf"))
    throw UsageError{"the output must end in .obj, .svg or .gltf"};
  const TessChoice choice = tessChoiceOf(line);
  const long long limit = triangleLimitOf(line);
  refuseInputAsOutput(obj ? std::vector<std::string>{out, withExtension(out, ".mtl")} : std::vector<std::string>{out},
                      in);
  Session session;
  const std::vector<LoadedElement> loaded = readHostFile(in);
  if (allParts(loaded).empty()) throw ToolError("'" + in + "' holds no parts");
  // Counted before any triangle is made, so that a model too fine to hold
  // is refused at once rather than running out of memory.
  const long long estimate = estimateTriangles(pointers(loaded), choice);
  if (estimate > limit) {
    throw ToolError("'" + in + "' would make " + std::to_string(estimate) + " triangles, more than the limit of " +
                    std::to_string(limit) + ": give --max-triangles to raise it");
  }
  const DisplayModel model = tessellate(pointers(loaded), choice);
  const long long drawn = obj                     ? exportObj(model, out)
                          : endsWith(out, ".gltf") ? exportGltf(model, out)
                                                   : exportSvg(model, out);
  std::printf("%s: %lld triangles\n", out.c_str(), drawn);
  return 0;
}

int runTransmit(const Args& args) {
  const CommandLine line = parse(args, {{"--text", nullptr}, {"--binary", nullptr}});
  if (line.operands.size() != 2) throw UsageError{"transmit takes a host file and a key"};
  const std::string& in = line.operands[0];
  const KernelFile file = kernelFileOf(line.operands[1], formatOption(line));
  refuseInputAsOutput({file.name()}, in);
  Session session;
  // The elements own the parts: they must live until the transmit is done.
  const std::vector<LoadedElement> loaded = readHostFile(in);
  const std::vector<int> tags = allParts(loaded);
  if (tags.empty()) throw ToolError("'" + in + "' holds no parts");
  writeTransmitFile(file.name(), file, tags);
  std::printf("%s: %zu part(s)\n", file.name().c_str(), tags.size());
  return 0;
}

int runImport(const Args& args) {
  const CommandLine line = parse(args, {{"--text", nullptr}, {"--binary", nullptr}});
  if (line.operands.size() != 2) throw UsageError{"import takes a key and an output host file"};
  KernelFile file = kernelFileOf(line.operands[0], formatOption(line));
  const std::string& outPath = line.operands[1];
  const std::string in = chooseTransmitFile(file);
  refuseInputAsOutput({outPath}, in);
  Session session;
  const std::vector<int> tags = readTransmitFile(file, in);
  if (tags.empty()) throw ToolError("'" + in + "' holds no parts");
  MvAutoPtr<MvKMBrep> element(new MvKMBrep());
  MvVec<int> parts;
  parts.append(tags.data(), static_cast<int>(tags.size()));
  if (!element || !element->appendKmPart(parts, 0)) throw toolError("cannot add the parts to an element");
  OutputFile out(outPath);
  const long long bytes = writeHostFile(out.tempPath(), outPath, {element.get()});
  out.commit();
  std::printf("%s: %zu part(s), %lld bytes\n", outPath.c_str(), tags.size(), bytes);
  return 0;
}

}  // namespace kmbrep
