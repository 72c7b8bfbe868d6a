#include "kmbrep/commands.h"

#include "app/demo_model.h"
#include "app/sample_app.h"
#include "kmbrep/display_model.h"
#include "kmbrep/export_gltf.h"
#include "kmbrep/export_obj.h"
#include "kmbrep/export_svg.h"
#include "kmbrep/export_view.h"
#include "kmbrep/file_system.h"
#include "kmbrep/model_io.h"
#include "kmbrep/output_file.h"
#include "kmbrep/scene.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>

namespace kmbrep {

namespace {

constexpr int kDemoBodies = 24;

// Whether s ends in tail, letters compared without regard to case.
bool endsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  if (s.size() < t.size()) return false;
  return std::equal(t.begin(), t.end(), s.end() - static_cast<std::ptrdiff_t>(t.size()), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

std::string withExtension(const std::string& path, const char* ext) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExt ? path.substr(0, dot) : path) + ext;
}

// The last component of a path, for captions and titles.
std::string fileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes dir and every folder above it that is missing.
void makeDirectories(const std::string& dir) {
  for (size_t end = dir.find_first_of("/\\", 1);; end = dir.find_first_of("/\\", end + 1)) {
    const std::string part = dir.substr(0, end);
    const int error = part.empty() || part.back() == ':' ? 0 : fs::createDirectory(part);
    fs::Kind kind = fs::Kind::Missing;
    const bool folder = error == EEXIST && fs::kindOf(part, kind) == 0 && kind == fs::Kind::Other;
    if (error && !folder) throw ToolError("cannot create the folder '" + part + "': " + fs::reason(error));
    if (end == std::string::npos) return;
  }
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
    const OptionSpec* known = nullptr;
    for (const OptionSpec& s : specs) known = a == s.name ? &s : known;
    if (!known) throw UsageError{"unknown option '" + a + "'"};
    if (line.has(known->name)) throw UsageError{a + " is given twice"};
    std::string value;
    if (known->value) {
      if (i + 1 >= args.size() || args[i + 1].compare(0, 2, "--") == 0)
        throw UsageError{a + " needs a value: " + known->value};
      value = args[++i];
    }
    line.options[known->name] = value;
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


// Refuses a model whose triangles would pass the limit, counted before any
// is made, so that a model too fine to hold is refused at once rather than
// running out of memory.
void checkTriangleLimit(const std::string& in, const std::vector<MvKMBrep*>& elements, const TessChoice& choice,
                        long long limit) {
  const long long estimate = estimateTriangles(elements, choice);
  if (estimate > limit) {
    throw ToolError("'" + in + "' would make " + std::to_string(estimate) + " triangles, more than the limit of " +
                    std::to_string(limit) + ": give --max-triangles to raise it");
  }
}

ViewDirection viewOf(const CommandLine& line) {
  if (!line.has("--view")) return ViewDirection::Iso;
  const std::string& v = line.options.at("--view");
  if (v == "iso") return ViewDirection::Iso;
  if (v == "front") return ViewDirection::Front;
  if (v == "top") return ViewDirection::Top;
  if (v == "side") return ViewDirection::Side;
  throw UsageError{"--view takes iso, front, top or side, not '" + v + "'"};
}

// One side of --size WxH, or -1 when it is not a plain number.
int pictureSide(const std::string& digits) {
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(digits);
}

PictureOptions pictureOf(const CommandLine& line, const std::string& in) {
  PictureOptions picture;
  picture.view = viewOf(line);
  picture.caption = fileName(in);
  if (!line.has("--size")) return picture;
  const std::string& v = line.options.at("--size");
  const size_t x = v.find_first_of("xX");
  const int w = x == std::string::npos ? -1 : pictureSide(v.substr(0, x));
  const int h = x == std::string::npos ? -1 : pictureSide(v.substr(x + 1));
  if (w < kMinPictureSize || h < kMinPictureSize || w > kMaxPictureSize || h > kMaxPictureSize)
    throw UsageError{"--size takes WIDTHxHEIGHT, each from " + std::to_string(kMinPictureSize) + " to " +
                     std::to_string(kMaxPictureSize) + " pixels, not '" + v + "'"};
  picture.width = w;
  picture.height = h;
  return picture;
}
}  // namespace

Session::Session(Kernel kernel) : _kernel(kernel) {}

int runDemo(const Args& args) {
  const CommandLine line = parse(args, {{"--out", "a folder"}});
  if (!line.operands.empty()) throw UsageError{"demo takes no file, only --out DIR"};
  const std::string dir = line.has("--out") ? line.options.at("--out") : "out";
  makeDirectories(dir);
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
  const PartModel byPart(pointers(loaded), TessChoice());
  const double tTess = clock.lap();

  const KernelFile kernelFile = kernelFileOf(dir + "/demo", "--text");
  writeTransmitFile(staging.path("demo.x_t"), kernelFile, tags);
  staging.path("demo.mtl");
  const long long objTriangles = exportObj(model, staging.path("demo.obj"));
  const Scene whole = wholeScene(model, static_cast<int>(tags.size()));
  PictureOptions picture;
  picture.caption = "demo.mv61";
  const PictureCounts drawn = exportSvg(whole, staging.path("demo.svg"), picture);
  exportGltf(whole, staging.path("demo.gltf"), GltfForm::Text);
  exportGltf(byPart.scene(), staging.path("demo.glb"), GltfForm::Binary);
  writeViewPage(byPart.scene(), staging.path("demo.html"), "demo.mv61");
  const int segmentBytes = firstSegmentLength(hostStaged);
  staging.commit();
  const double tExport = clock.lap();

  std::printf("kmbrep demo: %zu parts of %d kinds\n", tags.size(), 3);
  std::printf("  host file     %s: %lld bytes (kernel segment %d bytes)\n", hostPath.c_str(), hostBytes,
              segmentBytes);
  std::printf("  kernel file   %s\n", kernelFile.name().c_str());
  std::printf("  display       %lld triangles in %d colours (%d shapes), %d edge polylines\n", model.triangles,
              model.colors, model.shapes.length(), model.polylines);
  std::printf("  exports       %s/demo.obj (%lld triangles), %s/demo.mtl, %s/demo.gltf, %s/demo.glb (by part)\n",
              dir.c_str(), objTriangles, dir.c_str(), dir.c_str(), dir.c_str());
  std::printf("  picture       %s/demo.svg (%lld of %lld triangles drawn: facing the viewer and not hidden)\n",
              dir.c_str(), drawn.drawn, drawn.total);
  std::printf("  3D page       %s/demo.html\n", dir.c_str());
  std::printf("  time (ms)     build %.1f, write %.1f, read %.1f, tessellate %.1f, export %.1f\n", tBuild, tWrite,
              tRead, tTess, tExport);
  return 0;
}

namespace {

// export (a host file) and convert (a model file read through the Open
// CASCADE adapter): the same outputs and options.
int exportCommand(const Args& args, bool modelFile) {
  const CommandLine line = parse(args, {{"--level", "0, 1 or 2"},
                                        {"--absolute", nullptr},
                                        {"--max-triangles", "a count"},
                                        {"--parts", nullptr},
                                        {"--view", "iso, front, top or side"},
                                        {"--size", "WIDTHxHEIGHT"}});
  if (line.operands.size() != 2)
    throw UsageError{modelFile ? "convert takes a model file and an output file"
                               : "export takes a host file and an output file"};
  const std::string& in = line.operands[0];
  if (modelFile && !isModelFile(in)) throw UsageError{"the model must end in .step, .stp, .iges, .igs or .brep"};
  const std::string& out = line.operands[1];
  const bool obj = endsWith(out, ".obj"), gltf = endsWith(out, ".gltf"), glb = endsWith(out, ".glb"),
             svg = endsWith(out, ".svg");
  if (!obj && !gltf && !glb && !svg) throw UsageError{"the output must end in .obj, .gltf, .glb or .svg"};
  if ((line.has("--view") || line.has("--size")) && !svg)
    throw UsageError{"--view and --size apply to .svg pictures only"};
  if (line.has("--parts") && !gltf && !glb) throw UsageError{"--parts applies to .gltf and .glb only"};
  const TessChoice choice = tessChoiceOf(line);
  const long long limit = triangleLimitOf(line);
  const PictureOptions picture = pictureOf(line, in);
  refuseInputAsOutput(obj ? std::vector<std::string>{out, withExtension(out, ".mtl")} : std::vector<std::string>{out},
                      in);
  Session session(modelFile ? Kernel::Occt : kernelOfFile(in));
  const std::vector<LoadedElement> loaded = modelFile ? readModelFile(in) : readHostFile(in);
  const int parts = static_cast<int>(allParts(loaded).size());
  if (parts == 0) throw ToolError("'" + in + "' holds no parts");
  checkTriangleLimit(in, pointers(loaded), choice, limit);
  const GltfForm form = glb ? GltfForm::Binary : GltfForm::Text;
  if (line.has("--parts")) {
    const PartModel model(pointers(loaded), choice);
    const long long written = exportGltf(model.scene(), out, form);
    std::printf("%s: %lld triangles in %d part nodes\n", out.c_str(), written, parts);
    return 0;
  }
  const DisplayModel model = tessellate(pointers(loaded), choice);
  if (svg) {
    const PictureCounts counts = exportSvg(wholeScene(model, parts), out, picture);
    std::printf("%s: %lld of %lld triangles drawn (facing the viewer and not hidden)\n", out.c_str(), counts.drawn,
                counts.total);
    return 0;
  }
  const long long written = obj ? exportObj(model, out) : exportGltf(wholeScene(model, parts), out, form);
  std::printf("%s: %lld triangles\n", out.c_str(), written);
  return 0;
}

}  // namespace

int runExport(const Args& args) { return exportCommand(args, false); }
int runConvert(const Args& args) { return exportCommand(args, true); }

int runView(const Args& args) {
  const CommandLine line =
      parse(args, {{"--level", "0, 1 or 2"}, {"--absolute", nullptr}, {"--max-triangles", "a count"}});
  if (line.operands.size() != 2) throw UsageError{"view takes a host file and an output .html file"};
  const std::string& in = line.operands[0];
  const std::string& out = line.operands[1];
  if (!endsWith(out, ".html") && !endsWith(out, ".htm")) throw UsageError{"the output must end in .html"};
  const TessChoice choice = tessChoiceOf(line);
  const long long limit = triangleLimitOf(line);
  refuseInputAsOutput({out}, in);
  Session session(kernelOfFile(in));
  const std::vector<LoadedElement> loaded = readHostFile(in);
  if (allParts(loaded).empty()) throw ToolError("'" + in + "' holds no parts");
  checkTriangleLimit(in, pointers(loaded), choice, limit);
  const PartModel model(pointers(loaded), choice);
  writeViewPage(model.scene(), out, fileName(in));
  std::printf("%s: %d parts, %lld triangles\n", out.c_str(), model.scene().parts, model.scene().triangles);
  return 0;
}

int runTransmit(const Args& args) {
  const CommandLine line = parse(args, {{"--text", nullptr}, {"--binary", nullptr}});
  if (line.operands.size() != 2) throw UsageError{"transmit takes a host file and a key"};
  const std::string& in = line.operands[0];
  const KernelFile file = kernelFileOf(line.operands[1], formatOption(line));
  refuseInputAsOutput({file.name()}, in);
  Session session(kernelOfFile(in));
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
  const std::string& outPath = line.operands[1];
  if (isModelFile(line.operands[0])) {
    if (formatOption(line)) throw UsageError{"a model file takes no --text or --binary"};
    refuseInputAsOutput({outPath}, line.operands[0]);
    Session session(Kernel::Occt);
    const std::vector<LoadedElement> model = readModelFile(line.operands[0]);
    OutputFile out(outPath);
    const long long bytes = writeHostFile(out.tempPath(), outPath, pointers(model));
    out.commit();
    std::printf("%s: %d part(s), %lld bytes\n", outPath.c_str(), model[0].element->kmPart().length(), bytes);
    return 0;
  }
  KernelFile file = kernelFileOf(line.operands[0], formatOption(line));
  const std::string in = chooseTransmitFile(file);
  refuseInputAsOutput({outPath}, in);
  Session session(kernelOfFile(in));
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
