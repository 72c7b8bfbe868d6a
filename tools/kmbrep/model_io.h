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

// Writes the elements into a new host file, whole or not at all; returns its
// size in bytes. Throws ToolError.
long long writeHostFile(const std::string& path, const std::vector<MvKMBrep*>& elements);
// The segment length (the kernel's transmit bytes) stored with the first
// object of a host file, read from its element record. Throws ToolError.
int firstSegmentLength(const std::string& path);
// Reads every element of a host file (objects of other types are skipped).
// Throws ToolError naming the file and the first problem.
std::vector<LoadedElement> readHostFile(const std::string& path);

// Writes tags as the kernel transmit file KEY.x_t / KEY.x_b; returns the
// file name. Throws ToolError.
std::string writeTransmitFile(const std::string& key, const std::vector<int>& tags, ksample::Format format);
// Reads the kernel transmit file of KEY (text, else binary) into new bodies.
std::vector<int> readTransmitFile(const std::string& key);

// The first error report of this thread, as one line, or `fallback`.
std::string firstReport(const std::string& fallback);

// A failure with the message, carrying this thread's report list and the
// kernel's error text as its details.
ToolError toolError(const std::string& message);

}  // namespace kmbrep

#endif
