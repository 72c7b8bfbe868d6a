#include "kmbrep/output_file.h"

#include <cerrno>
#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace kmbrep {

namespace {

// The folder part of a path, with its separator ("" for a bare name).
std::string folderOf(const std::string& path) {
#if defined(_WIN32)
  const std::size_t slash = path.find_last_of("/\\:");
#else
  const std::size_t slash = path.find_last_of('/');
#endif
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

[[noreturn]] void cannotWrite(const std::string& path, int error) {
  throw ToolError{"cannot write '" + path + "': " + fs::reason(error)};
}

// The file a target path names, its links followed, once it is known to be
// a regular file or nothing.
std::string checkedTarget(const std::string& path) {
  std::string target;
  if (const int error = fs::resolveLinks(path, target)) cannotWrite(path, error);
  fs::Kind kind = fs::Kind::Missing;
  if (const int error = fs::kindOf(target, kind)) cannotWrite(path, error);
  if (kind == fs::Kind::Other) throw ToolError("'" + path + "' is not a regular file");
  return target;
}

std::string joined(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : dir + "/" + name;
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : _path(path), _target(checkedTarget(path)) {
  // A short name of its own, so that any target name the system allows
  // leaves room for it; created exclusively, so no two writers share it.
  constexpr int kAttempts = 16;
  int error = EEXIST;
  for (int i = 0; i < kAttempts && error == EEXIST; ++i) {
    _temp = folderOf(_target) + ".kmbrep-" + fs::uniqueName();
    error = fs::createExclusive(_temp);
  }
  if (error) {
    _temp.clear();
    cannotWrite(_path, error);
  }
}

OutputFile::~OutputFile() {
  if (!_committed && !_temp.empty()) fs::removeFile(_temp);
}

void OutputFile::sync() const {
  if (const int error = fs::syncFile(_temp)) cannotWrite(_path, error);
}

void OutputFile::rename() {
  // Never remove the target first: the rename replaces it in one step, and
  // a failed rename leaves it as it was.
  if (const int error = fs::replace(_temp, _target)) cannotWrite(_path, error);
  _committed = true;
}

void OutputFile::commit() {
  sync();
  rename();
}

void commitTogether(const std::vector<OutputFile*>& outputs) {
  for (const OutputFile* out : outputs) out->sync();
  for (OutputFile* out : outputs) out->rename();
}

StagingFolder::StagingFolder(const std::string& dir) : _dir(dir) {
  constexpr int kAttempts = 16;
  int error = EEXIST;
  for (int i = 0; i < kAttempts && error == EEXIST; ++i) {
    _folder = joined(_dir, ".kmbrep-" + fs::uniqueName());
    error = fs::createDirectory(_folder);
  }
  if (error) {
    _folder.clear();
    cannotWrite(_dir.empty() ? "." : _dir, error);
  }
}

StagingFolder::~StagingFolder() {
  if (_folder.empty()) return;
  for (const std::string& name : _names) fs::removeFile(joined(_folder, name));
  fs::removeDirectory(_folder);
}

std::string StagingFolder::path(const std::string& name) {
  _names.push_back(name);
  return joined(_folder, name);
}

void StagingFolder::commit() {
  std::vector<std::string> targets;
  for (const std::string& name : _names) targets.push_back(checkedTarget(joined(_dir, name)));
  for (size_t i = 0; i < _names.size(); ++i) {
    if (const int error = fs::replace(joined(_folder, _names[i]), targets[i])) cannotWrite(joined(_dir, _names[i]), error);
  }
}

BufferedWriter::BufferedWriter(OutputFile& out) : _out(out), _buffer(kBufferBytes) {
  if (const int error = _file.open(_out.tempPath())) fail(error);
}

void BufferedWriter::fail(int error) const { cannotWrite(_out.path(), error); }

void BufferedWriter::flush() {
  if (_used == 0) return;
  if (const int error = _file.write(_buffer.data(), _used)) fail(error);
  _written += static_cast<long long>(_used);
  _used = 0;
}

void BufferedWriter::write(const char* data, std::size_t size) {
  if (size > _buffer.size() - _used) {
    flush();
    if (size >= _buffer.size()) {
      if (const int error = _file.write(data, size)) fail(error);
      _written += static_cast<long long>(size);
      return;
    }
  }
  std::copy(data, data + size, _buffer.begin() + static_cast<std::ptrdiff_t>(_used));
  _used += size;
}

void BufferedWriter::print(const char* format, ...) {
  constexpr std::size_t kMaxText = 1024;
  if (_buffer.size() - _used < kMaxText) flush();
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(_buffer.data() + _used, kMaxText, format, args);
  va_end(args);
  if (n > 0) _used += static_cast<std::size_t>(n) < kMaxText ? static_cast<std::size_t>(n) : kMaxText - 1;
}

void BufferedWriter::finish() {
  flush();
  if (const int error = _file.close()) fail(error);
}

void writeWholeFile(const std::string& path, const std::string& text) {
  OutputFile out(path);
  BufferedWriter writer(out);
  writer.write(text);
  writer.finish();
  out.commit();
}

}  // namespace kmbrep
