#include "kmbrep/model_io.h"

#include "kmbrep/output_file.h"

#include <cstdio>
#include <fstream>

namespace kmbrep {

std::string firstReport(const std::string& fallback) {
  const std::vector<MvErrorReport>& reports = MvErrorState::reports();
  std::string line;
  for (const MvErrorReport& r : reports) {
    if (r.className == "MvVecBase" && r.code != MvErrorState::kAllocation) continue;
    line = r.className + "::" + r.operation + ": " + r.condition + " (code " + std::to_string(r.code) + ")";
    break;
  }
  const std::string kernel = ksample::lastError();
  if (!kernel.empty()) line = line.empty() ? "kernel: " + kernel : line + "; kernel: " + kernel;
  return line.empty() ? fallback : line;
}

ToolError toolError(const std::string& message) {
  ToolError error(message);
  for (const MvErrorReport& r : MvErrorState::reports())
    error.details.push_back(r.className + "::" + r.operation + ": " + r.condition + " (code " +
                            std::to_string(r.code) + ")");
  const std::string kernel = ksample::lastError();
  if (!kernel.empty()) error.details.push_back("kernel: " + kernel);
  return error;
}

long long writeHostFile(const std::string& path, const std::vector<MvKMBrep*>& elements) {
  OutputFile out(path);
  MvAutoPtr<MvFileStream> stream(MvFileStream::create(out.tempPath().c_str()));
  if (!stream) throw ToolError{"cannot create " + path + ": " + firstReport("file error")};
  for (MvKMBrep* e : elements) {
    MvErrorState::clear();
    if (!stream->writeObject(e)) throw ToolError{"cannot write " + path + ": " + firstReport("write failed")};
  }
  int size = 0;
  stream->getSize(size);
  if (!stream->close()) throw ToolError{"cannot write " + path + ": " + firstReport("close failed")};
  stream = nullptr;
  out.commit();
  return size;
}

int firstSegmentLength(const std::string& path) {
  // Host file header, then the object: type GUID (16 bytes), record length,
  // and the element record: version, kernel major, kernel minor, segment length.
  constexpr int kGuidBytes = 16;
  constexpr int kIntBytes = 4;
  MvAutoPtr<MvFileStream> stream(MvFileStream::open(path.c_str()));
  int length = 0;
  if (!stream || !stream->seek(int{MvFileStream::kHeaderBytes} + kGuidBytes + 4 * kIntBytes) ||
      !stream->read(length)) {
    throw ToolError{path + ": " + firstReport("cannot read the element record")};
  }
  return length;
}

std::vector<LoadedElement> readHostFile(const std::string& path) {
  MvErrorState::clear();
  MvAutoPtr<MvFileStream> stream(MvFileStream::open(path.c_str()));
  if (!stream) throw ToolError{path + ": " + firstReport("not a host file")};
  std::vector<LoadedElement> elements;
  while (!stream->atEnd()) {
    MvErrorState::clear();
    MvAutoPtr<MvBase> object;
    if (!stream->readObject(object)) throw ToolError{path + ": " + firstReport("corrupt object")};
    if (!object || !object->isOfExactType(MvKMBrep::classTypeID())) continue;
    LoadedElement loaded;
    loaded.element = static_cast<MvKMBrep*>(object.get());
    MvKMBrep::storedKmVersion(loaded.kernelMajor, loaded.kernelMinor);
    elements.push_back(loaded);
  }
  return elements;
}

std::string writeTransmitFile(const std::string& key, const std::vector<int>& tags, ksample::Format format) {
  const std::string suffix = format == ksample::Format::Text ? ".x_t" : ".x_b";
  const std::string name = key + suffix;
  // The kernel writes under a temporary key; the file is renamed when whole.
  OutputFile out(name);
  const std::string tempKey = out.sideName("-k");
  const std::string tempName = tempKey + suffix;
  if (ksample::transmit(static_cast<int>(tags.size()), tags.data(), tempKey.c_str(),
                        static_cast<int>(tempKey.size()), format) != ksample::kOk) {
    std::remove(tempName.c_str());
    throw ToolError{"cannot write " + name + ": kernel: " + ksample::lastError()};
  }
  if (std::rename(tempName.c_str(), out.tempPath().c_str()) != 0) {
    std::remove(tempName.c_str());
    throw ToolError{"cannot write " + name};
  }
  out.commit();
  return name;
}

std::vector<int> readTransmitFile(const std::string& key) {
  const bool text = std::ifstream(key + ".x_t").good() || std::ifstream(key + ".xmt_txt").good();
  const ksample::Format format = text ? ksample::Format::Text : ksample::Format::Binary;
  int count = 0;
  int* tags = nullptr;
  if (ksample::receive(key.c_str(), static_cast<int>(key.size()), format, count, tags) != ksample::kOk)
    throw ToolError{key + ": kernel: " + ksample::lastError()};
  std::vector<int> out(tags, tags + count);
  ksample::freeTags(tags);
  return out;
}

}  // namespace kmbrep
