// Output files that appear whole or not at all. The content goes to a
// temporary file beside the target, created exclusively under a name of its
// own (so writers never share one), and is renamed over the target only when
// complete: the old target stays whole until that rename replaces it, and an
// output that is not committed leaves no file behind.
//
//   OutputFile out("model.obj");        // checks the target, makes the temporary
//   BufferedWriter text(out);           // or let another writer fill out.tempPath()
//   text.write("o shape\n");
//   text.finish();                      // everything written and closed
//   out.commit();                       // renamed into place
//
// Outputs made of several files go through commitTogether.
#ifndef KMBREP_OUTPUT_FILE_H
#define KMBREP_OUTPUT_FILE_H

#include "kmbrep/file_system.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kmbrep {

class OutputFile {
 public:
  // Checks the target and creates the temporary. A target that exists must be
  // a regular file; a symbolic link is followed and the file it points to is
  // replaced. Throws ToolError ("'x' is not a regular file", "cannot write
  // 'x': <system reason>").
  explicit OutputFile(const std::string& path);
  // Removes the temporary unless the output was committed.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The target as the user named it.
  const std::string& path() const { return _path; }
  // Where the content goes until commit.
  const std::string& tempPath() const { return _temp; }
  // A further name beside the temporary, unique while this output lives, for
  // a writer that makes its own file from a name (tempPath() + tail). The
  // caller removes what it makes there.
  std::string sideName(const std::string& tail) const { return _temp + tail; }

  // Flushes the content to the device and renames it over the target. On
  // failure the old target is untouched, the temporary is removed and
  // ToolError names the target and the system's reason.
  void commit();

 private:
  friend void commitTogether(const std::vector<OutputFile*>& outputs);
  void sync() const;
  void rename();

  std::string _path;
  std::string _target;  // _path with its symbolic links followed
  std::string _temp;
  bool _committed = false;
};

// Commits several outputs as one: every file is flushed before the first is
// renamed, and should a rename fail, the targets renamed over before it get
// their old content back (through links made to it first, where the file
// system allows links). Throws ToolError.
void commitTogether(const std::vector<OutputFile*>& outputs);

// An output made of files that are each written whole elsewhere (by code
// that commits its own OutputFile): they are made in a folder of their own
// beside the targets and moved into place together by commit, once every
// one of them is complete.
class StagingFolder {
 public:
  // Creates the folder inside dir ("" for the current one). Throws ToolError.
  explicit StagingFolder(const std::string& dir);
  // Removes what was staged and not moved, and the folder.
  ~StagingFolder();
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  // Where to make the file that is to become dir/name.
  std::string path(const std::string& name);
  // Moves every staged file over its target (an existing target must be a
  // regular file; links are followed), after checking all targets, as
  // commitTogether does. Throws ToolError.
  void commit();

 private:
  std::string _dir;
  std::string _folder;
  std::vector<std::string> _names;
};

// Writes an output's content through a buffer of at most kBufferBytes, so a
// writer's memory stays bounded however long the output grows. Every write
// that reaches the system is checked; the first failure throws ToolError
// naming the target and the reason.
class BufferedWriter {
 public:
  static constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

  // Opens out's temporary for writing. Throws ToolError.
  explicit BufferedWriter(OutputFile& out);
  BufferedWriter(const BufferedWriter&) = delete;
  BufferedWriter& operator=(const BufferedWriter&) = delete;

  void write(const char* data, std::size_t size);
  void write(const std::string& text) { write(text.data(), text.size()); }
  void write(char c) {
    if (_used == _buffer.size()) flush();
    _buffer[_used++] = c;
  }
  // printf-style text; one call writes at most 1023 characters.
#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  void print(const char* format, ...);
  // Bytes handed to write so far.
  long long written() const { return _written + static_cast<long long>(_used); }

  // Writes what is buffered and closes the file; call before commit.
  // Throws ToolError.
  void finish();

 private:
  void flush();
  void fail(int error) const;

  OutputFile& _out;
  fs::WriteHandle _file;
  std::vector<char> _buffer;
  std::size_t _used = 0;
  long long _written = 0;
};

// Writes text to path whole (through an OutputFile); throws on failure.
void writeWholeFile(const std::string& path, const std::string& text);

// A failure of the tool: one line for standard error. `details` holds the
// library's report list and the kernel's error text at the time of the
// failure, shown with --verbose.
struct ToolError {
  explicit ToolError(std::string text, std::vector<std::string> reports = {})
      : message(std::move(text)), details(std::move(reports)) {}
  std::string message;
  std::vector<std::string> details;
};

}  // namespace kmbrep

#endif
