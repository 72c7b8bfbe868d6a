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

}  // namespace

OutputFile::OutputFile(const std::string& path) : _path(path) {
  if (const int error = fs::resolveLinks(_path, _target)) cannotWrite(_path, error);
  fs::Kind kind = fs::Kind::Missing;
  if (const int error = fs::kindOf(_target, kind)) cannotWrite(_path, error);
  if (kind == fs::Kind::Other) throw ToolError{"'" + _path + "' is not a regular file"};
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
