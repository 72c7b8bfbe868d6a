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

struct Move {
  std::string from;
  std::string to;
  std::string shown;
};

// Moves each file over its target in turn. Should one move fail, the
// targets already replaced get their old content back from links made to
// it beforehand, and new files are removed again, so that the output stays
// all old. (Where the file system makes no links, a target replaced before
// the failure keeps its new content.)
void moveTogether(const std::vector<Move>& moves) {
  std::vector<std::string> backups(moves.size());
  std::vector<bool> existed(moves.size());
  for (size_t i = 0; moves.size() > 1 && i < moves.size(); ++i) {
    fs::Kind kind = fs::Kind::Missing;
    existed[i] = fs::kindOf(moves[i].to, kind) == 0 && kind == fs::Kind::Regular;
    if (existed[i] && fs::hardLink(moves[i].to, moves[i].from + "-old") == 0) backups[i] = moves[i].from + "-old";
  }
  size_t done = 0;
  int error = 0;
  while (done < moves.size() && (error = fs::replace(moves[done].from, moves[done].to)) == 0) ++done;
  for (size_t i = 0; error && i < done; ++i) {
    if (!backups[i].empty())
      fs::replace(backups[i], moves[i].to);
    else if (!existed[i])
      fs::removeFile(moves[i].to);
  }
  for (const std::string& backup : backups)
    if (!backup.empty()) fs::removeFile(backup);
  if (error) cannotWrite(moves[done].shown, error);
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
  std::vector<Move> moves;
  for (const OutputFile* out : outputs) {
    out->sync();
    moves.push_back({out->_temp, out->_target, out->_path});
  }
  moveTogether(moves);
  for (OutputFile* out : outputs) out->_committed = true;
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
  std::vector<Move> moves;
  for (const std::string& name : _names) {
    const std::string shown = joined(_dir, name);
    moves.push_back({joined(_folder, name), checkedTarget(shown), shown});
  }
  moveTogether(moves);
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
