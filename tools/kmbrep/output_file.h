// Output files that appear whole or not at all: the content goes to a
// temporary file beside the target and is renamed over it on commit; an
// output that is not committed leaves no file behind.
#ifndef KMBREP_OUTPUT_FILE_H
#define KMBREP_OUTPUT_FILE_H

#include <string>

namespace kmbrep {

class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Where to write the content until commit.
  const std::string& tempPath() const { return _temp; }
  // Moves the written content to the target path; throws on failure.
  void commit();

 private:
  std::string _path;
  std::string _temp;
  bool _committed = false;
};

// Writes text to path whole (through an OutputFile); throws on failure.
void writeWholeFile(const std::string& path, const std::string& text);

// A failure of the tool: one line for standard error.
struct ToolError {
  std::string message;
};

}  // namespace kmbrep

#endif
