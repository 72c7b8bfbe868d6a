// The operating-system calls of the tool's output files, behind one small
// shim: POSIX calls on Linux, their Windows equivalents there. Functions that
// can fail return 0 or the system's error number (errno values on both).
#ifndef KMBREP_FILE_SYSTEM_H
#define KMBREP_FILE_SYSTEM_H

#include <cstddef>
#include <string>

namespace kmbrep {
namespace fs {

enum class Kind { Missing, Regular, Other };

// What is at path, following symbolic links; 0, or the error number when it
// cannot be told (a dangling link reads as Missing).
int kindOf(const std::string& path, Kind& kind);

// The path a chain of symbolic links ends at (path itself when it is not a
// link). A chain longer than 40 links fails with ELOOP.
int resolveLinks(const std::string& path, std::string& resolved);

// True when both paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);

// Creates path exclusively (it must not exist) as an empty file.
int createExclusive(const std::string& path);
// Creates a folder; EEXIST when something is there already.
int createDirectory(const std::string& path);
// Removes an empty folder; a missing one is no error.
void removeDirectory(const std::string& path);
// 0 when the file can be opened for reading, else the reason.
int checkReadable(const std::string& path);

// An open file for writing, closed by its destructor.
class WriteHandle {
 public:
  WriteHandle() = default;
  ~WriteHandle();
  WriteHandle(const WriteHandle&) = delete;
  WriteHandle& operator=(const WriteHandle&) = delete;

  // Opens an existing file for writing and empties it.
  int open(const std::string& path);
  // Writes all bytes (ENOSPC and friends as the system reports them).
  int write(const char* data, std::size_t size);
  // Closes the file (a failed close is a failed write).
  int close();

 private:
  int _fd = -1;
};

// Flushes an existing file, however it was written, to the device.
int syncFile(const std::string& path);

// Moves from over to, replacing to atomically when it exists.
int replace(const std::string& from, const std::string& to);

// Makes newPath a second name (a hard link) of the file existing names.
int hardLink(const std::string& existing, const std::string& newPath);

// Removes a file; a missing file is no error.
void removeFile(const std::string& path);

// A short name unique to this process and call: letters and digits.
std::string uniqueName();

// The system's text for an error number ("No such file or directory").
std::string reason(int error);

}  // namespace fs
}  // namespace kmbrep

#endif
