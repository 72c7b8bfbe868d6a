#include "kmbrep/model_io.h"

#include "kmbrep/commands.h"
#include "kmbrep/file_system.h"
#include "kmbrep/kernels.h"
#include "kmbrep/progress.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

namespace kmbrep {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct Extension {
  const char* text;
  ksample::Format format;
};
// The names the kernel gives its transmit files, short form first.
constexpr Extension kExtensions[] = {{".x_t", ksample::Format::Text},
                                     {".x_b", ksample::Format::Binary},
                                     {".xmt_txt", ksample::Format::Text},
                                     {".xmt_bin", ksample::Format::Binary}};

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

const char* shortExtension(ksample::Format format) { return format == ksample::Format::Text ? ".x_t" : ".x_b"; }

// Refuses a file that cannot be opened for reading, in the user's words.
void checkReadable(const std::string& path, const std::string& shown) {
  fs::Kind kind = fs::Kind::Missing;
  int error = fs::kindOf(path, kind);
  if (!error && kind == fs::Kind::Other) throw ToolError("'" + shown + "' is not a regular file");
  if (!error) error = fs::checkReadable(path);
  if (error) throw ToolError("cannot open '" + shown + "': " + fs::reason(error));
}

// A line of the file as read, with its line end ("" at the end of the file).
std::string readLine(std::FILE* file) {
  std::string line;
  for (int c = std::getc(file); c != EOF; c = std::getc(file)) {
    line += static_cast<char>(c);
    if (c == '\n') break;
  }
  return line;
}

// Copies the kernel's file into out, its header's KEY and FILE lines
// rewritten from the names the kernel was given to the user's: the kernel
// writes under a name beside the output's temporary, and the header must
// carry the names the file ends up with.
void copyWithUserNames(const std::string& from, const std::string& kernelKey, const KernelFile& file,
                       OutputFile& out) {
  FilePtr in(std::fopen(from.c_str(), "rb"));
  if (!in) throw ToolError("cannot write '" + file.name() + "': " + fs::reason(errno));
  BufferedWriter writer(out);
  const std::string kernelName = kernelKey + shortExtension(file.format);
  const std::string names[2][2] = {{"KEY=" + kernelKey + ";", "KEY=" + file.key + ";"},
                                   {"FILE=" + kernelName + ";", "FILE=" + file.name() + ";"}};
  int replaced = 0;
  for (std::string line = readLine(in.get()); !line.empty(); line = readLine(in.get())) {
    const std::size_t end = line.find_last_not_of("\r\n") + 1;
    for (const auto& name : names) {
      if (line.compare(0, end, name[0]) == 0 && end == name[0].size()) {
        line.replace(0, end, name[1]);
        ++replaced;
      }
    }
    writer.write(line);
    if (line.rfind("**END_OF_HEADER", 0) == 0) break;
  }
  if (replaced != 2) throw ToolError("cannot write '" + file.name() + "': the kernel's header names another file");
  char block[1 << 16];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, in.get())) > 0;) writer.write(block, n);
  if (std::ferror(in.get())) throw ToolError("cannot write '" + file.name() + "': " + fs::reason(errno));
  writer.finish();
}

// Removes a file the kernel made when the scope ends.
struct RemovedAtEnd {
  std::string path;
  ~RemovedAtEnd() { fs::removeFile(path); }
};

}  // namespace

ToolError toolError(const std::string& message) {
  ToolError error(message);
  for (const MvErrorReport& r : MvErrorState::reports())
    error.details.push_back(r.className + "::" + r.operation + ": " + r.condition + " (code " +
                            std::to_string(r.code) + ")");
  const std::string kernel = kernelError();
  if (!kernel.empty()) error.details.push_back("kernel: " + kernel);
  return error;
}

long long writeHostFile(const std::string& path, const std::string& shown, const std::vector<MvKMBrep*>& elements) {
  MvErrorState::clear();
  MvAutoPtr<MvFileStream> stream(MvFileStream::create(path.c_str()));
  if (!stream) throw toolError("cannot write '" + shown + "'");
  for (MvKMBrep* e : elements) {
    MvErrorState::clear();
    if (!stream->writeObject(e)) throw toolError("cannot write '" + shown + "': the kernel could not transmit the parts");
  }
  int size = 0;
  stream->getSize(size);
  if (!stream->close()) throw toolError("cannot write '" + shown + "'");
  return size + (stream->hasTrailer() ? MvFileStream::kTrailerBytes : 0);
}

int firstSegmentLength(const std::string& path) {
  MvErrorState::clear();
  MvAutoPtr<MvFileStream> stream(MvFileStream::open(path.c_str()));
  MvAutoPtr<MvBase> object;
  if (!stream || !stream->readObject(object) || !object || !object->isOfExactType(MvKMBrep::classTypeID()))
    throw toolError("'" + path + "' is damaged: its element record cannot be read");
  return MvKMBrep::storedSegmentLength();
}

void hostFileVersion(const std::string& path, int& major, int& minor) {
  MvErrorState::clear();
  MvAutoPtr<MvFileStream> stream(MvFileStream::open(path.c_str()));
  if (!stream) throw toolError("'" + path + "' is not a host file");
  major = stream->fileMajor();
  minor = stream->fileMinor();
}

std::vector<LoadedElement> readHostFile(const std::string& path, const std::string& shownName, bool* hasTrailer) {
  const std::string& shown = shownName.empty() ? path : shownName;
  checkReadable(path, shown);
  ProgressMeter meter("reading", "elements");
  MvErrorState::clear();
  MvAutoPtr<MvFileStream> stream(MvFileStream::open(path.c_str()));
  if (!stream) {
    const std::string why = MvErrorState::reports().empty() ? "" : MvErrorState::reports().back().condition;
    if (why == "file version <= 8.2")
      throw toolError("'" + shown + "' was written by a newer version of the host file format than this program reads");
    if (why == "trailer at the end of the file")
      throw toolError("'" + shown + "' is damaged: it is cut short (its trailer is missing)");
    throw toolError("'" + shown + "' is not a host file");
  }
  if (hasTrailer) *hasTrailer = stream->hasTrailer();
  std::vector<LoadedElement> elements;
  for (int index = 1; !stream->atEnd(); ++index) {
    MvErrorState::clear();
    MvAutoPtr<MvBase> object;
    if (!stream->readObject(object))
      throw toolError("'" + shown + "' is damaged: object " + std::to_string(index) + " cannot be read");
    if (stream->lastUnreadBytes() > 0)
      throw toolError("'" + shown + "' is damaged: object " + std::to_string(index) + " left " +
                      std::to_string(stream->lastUnreadBytes()) + " byte(s) of its record unread");
    if (!object || !object->isOfExactType(MvKMBrep::classTypeID())) continue;
    LoadedElement loaded;
    loaded.element = static_cast<MvKMBrep*>(object.get());
    MvKMBrep::storedKmVersion(loaded.kernelMajor, loaded.kernelMinor);
    elements.push_back(loaded);
    meter.add(1);
  }
  MvErrorState::clear();
  if (!stream->checkTrailer())
    throw toolError("'" + shown + "' is damaged: its objects do not match its trailer's count and checksum");
  return elements;
}

std::string KernelFile::name() const { return key + shortExtension(format); }

KernelFile kernelFileOf(const std::string& key, const char* option) {
  KernelFile file;
  file.key = key;
  for (const Extension& e : kExtensions) {
    if (!endsWith(key, e.text)) continue;
    file.key = key.substr(0, key.size() - std::char_traits<char>::length(e.text));
    file.format = e.format;
    file.formatGiven = true;
    break;
  }
  if (key.empty()) throw UsageError{"the key is empty"};
  if (file.key.empty() || file.key.back() == '/' || file.key.back() == '\\')
    throw UsageError{"the key '" + key + "' names no file"};
  if (option) {
    const ksample::Format chosen = std::string(option) == "--binary" ? ksample::Format::Binary : ksample::Format::Text;
    if (file.formatGiven && chosen != file.format)
      throw UsageError{"the key '" + key + "' and " + option + " name different formats"};
    file.format = chosen;
    file.formatGiven = true;
  }
  return file;
}

void writeTransmitFile(const std::string& path, const KernelFile& file, const std::vector<int>& tags) {
  OutputFile out(path);
  const std::string kernelKey = out.sideName("-k");
  const RemovedAtEnd kernelFile{kernelKey + shortExtension(file.format)};
  if (!transmitParts(tags, kernelKey, file.format)) {
    throw toolError("cannot write '" + file.name() + "': the kernel could not transmit the parts");
  }
  copyWithUserNames(kernelFile.path, kernelKey, file, out);
  out.commit();
}

std::string chooseTransmitFile(KernelFile& file) {
  std::string found[2];  // text, binary
  for (const Extension& e : kExtensions) {
    std::string& slot = found[e.format == ksample::Format::Text ? 0 : 1];
    fs::Kind kind = fs::Kind::Missing;
    if (slot.empty() && fs::kindOf(file.key + e.text, kind) == 0 && kind != fs::Kind::Missing) slot = file.key + e.text;
  }
  if (!file.formatGiven) {
    if (!found[0].empty() && !found[1].empty())
      throw ToolError("both '" + found[0] + "' and '" + found[1] + "' exist: give --text or --binary");
    if (found[0].empty() && found[1].empty())
      throw ToolError("cannot open '" + file.key + ".x_t' or '" + file.key + ".x_b': " + fs::reason(ENOENT));
    file.format = found[0].empty() ? ksample::Format::Binary : ksample::Format::Text;
  }
  const std::string& chosen = found[file.format == ksample::Format::Text ? 0 : 1];
  const std::string path = chosen.empty() ? file.name() : chosen;
  checkReadable(path, path);
  return path;
}

std::vector<int> readTransmitFile(const KernelFile& file, const std::string& shown) {
  std::vector<int> tags;
  const Received status = receiveParts(file.key, file.format, tags);
  if (status == Received::Damaged) throw toolError("'" + shown + "' is damaged: " + kernelError());
  if (status != Received::Ok) throw toolError("cannot read '" + shown + "'");
  return tags;
}

}  // namespace kmbrep
