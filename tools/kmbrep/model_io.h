// Elements in host files and parts in kernel transmit files.
#ifndef KMBREP_MODEL_IO_H
#define KMBREP_MODEL_IO_H

#include "MvKMBrep61.h"
#include "kmbrep/output_file.h"
#include "ksample/kernel.h"

#include <string>
#include <vector>

namespace kmbrep {

struct LoadedElement {
  MvAutoPtr<MvKMBrep> element;
  int kernelMajor = -1;
  int kernelMinor = -1;
};

// Writes the elements as a host file into path (a temporary the caller
// commits or a staged file); returns its size in bytes. `shown` is the name
// messages use. Throws ToolError.
long long writeHostFile(const std::string& path, const std::string& shown, const std::vector<MvKMBrep*>& elements);
// The segment length (the kernel's transmit bytes) stored with the first
// object of a host file, read from its element record. Throws ToolError.
int firstSegmentLength(const std::string& path);
// The format version (partition major, minor) in a host file's header.
// Throws ToolError.
void hostFileVersion(const std::string& path, int& major, int& minor);
// Reads every element of a host file (objects of other types are skipped).
// `shown` is the name messages use (path when empty). Throws ToolError:
// "cannot open 'x': <reason>", "'x' is not a host file", "'x' is damaged: ...".
// The file's trailer is checked; `hasTrailer`, when given, tells whether the
// file has one (files of older versions do not, so a cut or damaged one
// cannot be told from a whole one). An object that leaves part of its
// record unread is damage.
std::vector<LoadedElement> readHostFile(const std::string& path, const std::string& shown = "",
                                        bool* hasTrailer = nullptr);

// A kernel file's key and format as the user gave them: a key may carry the
// file's extension (.x_t, .x_b), which then chooses the format.
struct KernelFile {
  std::string key;
  ksample::Format format = ksample::Format::Text;
  bool formatGiven = false;  // by the extension or an option
  // The file name: key + .x_t or .x_b.
  std::string name() const;
};

// Parses a key and an optional format option (null, "--text", "--binary");
// throws UsageError for an empty key or an option the extension contradicts.
KernelFile kernelFileOf(const std::string& key, const char* option);

// Writes tags as the kernel file to path (a target, or a staged file), its
// header naming file.key and file.name() as the user gave them. Throws
// ToolError.
void writeTransmitFile(const std::string& path, const KernelFile& file, const std::vector<int>& tags);
// The file import reads: the format's file, or without a format the one
// that exists (ToolError when both or neither do).
std::string chooseTransmitFile(KernelFile& file);
// Reads the kernel file into new bodies; `shown` is the file's name for
// messages. Throws ToolError.
std::vector<int> readTransmitFile(const KernelFile& file, const std::string& shown);

// A failure with the message, carrying this thread's report list and the
// kernel's error text as its details.
ToolError toolError(const std::string& message);

}  // namespace kmbrep

#endif
