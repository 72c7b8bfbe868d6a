#include "kmbrep/kernels.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>

#include "app/sample_app.h"
#include "kmbrep/output_file.h"
#if defined(KMBREP_WITH_OCCT)
#include "app/occt_app.h"
#endif

namespace kmbrep {

namespace {

Kernel gKernel = Kernel::Sample;

struct Magic {
  const char* text;
  Kernel kernel;
};
const Magic kMagics[] = {
    {"KOCCT-PARTS", Kernel::Occt},
    {"KSXMTBIN", Kernel::Sample},
    {"KSAMPLE TRANSMIT TEXT", Kernel::Sample},
};

}  // namespace

Kernel kernelOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  // A file that cannot be read is reported by the reader that follows.
  if (!in) return Kernel::Sample;
  // Scans in blocks that overlap by the longest magic, so none is cut apart.
  constexpr std::size_t kBlock = 1 << 20, kOverlap = 32;
  std::string window;
  std::vector<char> block(kBlock);
  for (;;) {
    in.read(block.data(), static_cast<std::streamsize>(kBlock));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    window.append(block.data(), static_cast<std::size_t>(got));
    std::size_t first = std::string::npos;
    Kernel kernel = Kernel::Sample;
    for (const Magic& m : kMagics) {
      const std::size_t at = window.find(m.text);
      if (at < first) {
        first = at;
        kernel = m.kernel;
      }
    }
    if (first != std::string::npos) return kernel;
    if (window.size() > kOverlap) window.erase(0, window.size() - kOverlap);
  }
  return Kernel::Sample;
}

struct KernelSession::Apps {
  std::optional<ksamplehost::SampleApp> sample;
#if defined(KMBREP_WITH_OCCT)
  std::optional<kocctapp::OcctApp> occt;
#endif
};

KernelSession::KernelSession(Kernel kernel) : _apps(new Apps) {
  gKernel = kernel;
  if (kernel == Kernel::Sample) {
    _apps->sample.emplace();
    if (!_apps->sample->ok()) throw ToolError{"cannot start the kernel: " + _apps->sample->error()};
    return;
  }
#if defined(KMBREP_WITH_OCCT)
  _apps->occt.emplace();
  if (!_apps->occt->ok()) throw ToolError{"cannot start the kernel: " + _apps->occt->error()};
#else
  throw ToolError{"the data is Open CASCADE parts, and this kmbrep was built without the Open CASCADE adapter"};
#endif
}

KernelSession::~KernelSession() = default;

std::string kernelError() {
#if defined(KMBREP_WITH_OCCT)
  if (gKernel == Kernel::Occt) return kocct::lastError();
#endif
  return ksample::lastError();
}

bool transmitParts(const std::vector<int>& tags, const std::string& key, ksample::Format format) {
  const int count = static_cast<int>(tags.size());
  const int keyLength = static_cast<int>(key.size());
#if defined(KMBREP_WITH_OCCT)
  if (gKernel == Kernel::Occt) {
    return kocct::transmit(count, tags.data(), key.c_str(), keyLength, static_cast<kocct::Format>(format)) == kocct::kOk;
  }
#endif
  return ksample::transmit(count, tags.data(), key.c_str(), keyLength, format) == ksample::kOk;
}

Received receiveParts(const std::string& key, ksample::Format format, std::vector<int>& tags) {
  int count = 0;
  int* received = nullptr;
  const int keyLength = static_cast<int>(key.size());
#if defined(KMBREP_WITH_OCCT)
  if (gKernel == Kernel::Occt) {
    const int status = kocct::receive(key.c_str(), keyLength, static_cast<kocct::Format>(format), count, received);
    const std::unique_ptr<int, void (*)(int*)> held(received, kocct::freeTags);
    if (status != kocct::kOk) return status == kocct::kErrCorruptData ? Received::Damaged : Received::Failed;
    tags.assign(received, received + count);
    return Received::Ok;
  }
#endif
  const int status = ksample::receive(key.c_str(), keyLength, format, count, received);
  const std::unique_ptr<int, void (*)(int*)> held(received, ksample::freeTags);
  if (status != ksample::kOk) return status == ksample::kErrCorruptData ? Received::Damaged : Received::Failed;
  tags.assign(received, received + count);
  return Received::Ok;
}

long long faceTriangleCount(int tag, const MvKMBrep::KmBrepTessParams& params) {
#if defined(KMBREP_WITH_OCCT)
  if (gKernel == Kernel::Occt) return kocctapp::faceTriangleCount(tag, params);
#endif
  return ksamplehost::faceTriangleCount(tag, params);
}

bool partFacts(int tag, PartFacts& facts) {
  facts = PartFacts();
#if defined(KMBREP_WITH_OCCT)
  if (gKernel == Kernel::Occt) {
    kocct::Part part;
    if (!kocct::getPart(tag, part)) return false;
    facts.name = part.name;
    facts.faces = kocct::faceCount(tag);
    facts.edges = kocct::edgeCount(tag);
    for (int f = 0; f < facts.faces; ++f) {
      const std::size_t at = static_cast<std::size_t>(f);
      const kocct::Rgba& c = at < part.faceColors.size() && part.faceColors[at].isSet() ? part.faceColors[at]
                                                                                          : part.color;
      facts.faceColors.push_back(c.isSet() ? ksample::Rgba{c.r, c.g, c.b, c.a} : ksample::kNoColor);
    }
    return true;
  }
#endif
  ksample::BodyRecord body;
  if (!ksample::bodyRecord(tag, body)) return false;
  switch (body.kind) {
    case ksample::BodyKind::Box: facts.kind = "box"; break;
    case ksample::BodyKind::Cylinder: facts.kind = "cylinder"; break;
    case ksample::BodyKind::Sphere: facts.kind = "sphere"; break;
  }
  facts.faces = ksample::faceCount(tag);
  facts.edges = ksample::edgeCount(tag);
  for (const ksample::Rgba& own : body.faceColors)
    facts.faceColors.push_back(own[3] >= 0.0f ? own : body.hasBodyColor ? body.bodyColor : ksample::kNoColor);
  return true;
}

const char* kernelLabel() { return gKernel == Kernel::Occt ? "Open CASCADE" : "sample"; }
const char* kernelId() { return gKernel == Kernel::Occt ? "occt" : "sample"; }

bool isModelFile(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == "step" || ext == "stp" || ext == "iges" || ext == "igs" || ext == "brep";
}

#if !defined(KMBREP_WITH_OCCT)
namespace {
[[noreturn]] void noOcct() { throw ToolError{"this kmbrep was built without the Open CASCADE adapter"}; }
}  // namespace
std::vector<LoadedElement> readModelFile(const std::string&) { noOcct(); }
int runOcctDemo(const std::vector<std::string>&) {
  std::printf("kmbrep demo: built without the Open CASCADE adapter, no bracket model\n");
  return 0;
}
#endif

}  // namespace kmbrep
