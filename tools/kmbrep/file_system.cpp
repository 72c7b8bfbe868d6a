#include "kmbrep/file_system.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kmbrep {
namespace fs {

namespace {

#if defined(KMBREP_FAULT_SEAM)
// Test builds only: KMBREP_FAULT="write@N" or "rename@N" makes the N-th call
// of that kind in this process fail (ENOSPC, EXDEV), as a full disk or a
// move across devices would; "alloc@N" makes the N-th temporary's creation
// throw std::bad_alloc.
int injected(const char* kind, int error) {
  static std::atomic<int> writes{0}, renames{0}, creations{0};
  const char* fault = std::getenv("KMBREP_FAULT");
  const std::size_t n = std::strlen(kind);
  if (!fault || std::strncmp(fault, kind, n) != 0 || fault[n] != '@') return 0;
  std::atomic<int>& count = kind[0] == 'w' ? writes : kind[0] == 'r' ? renames : creations;
  return ++count == std::atoi(fault + n + 1) ? error : 0;
}
#else
constexpr int injected(const char*, int) { return 0; }
#endif

#if defined(_WIN32)
int fromWindowsError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    default:
      return EIO;
  }
}

std::wstring wide(const std::string& path) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? static_cast<std::size_t>(n) : 1u, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &out[0], n);
  out.resize(out.size() - 1);
  return out;
}
#endif

}  // namespace

int kindOf(const std::string& path, Kind& kind) {
#if defined(_WIN32)
  struct _stat64 st {};
  const int rc = _stat64(path.c_str(), &st);
  const bool regular = rc == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
  struct stat st {};
  const int rc = ::stat(path.c_str(), &st);
  const bool regular = rc == 0 && S_ISREG(st.st_mode);
#endif
  if (rc != 0) {
    if (errno != ENOENT) return errno;
    kind = Kind::Missing;
    return 0;
  }
  kind = regular ? Kind::Regular : Kind::Other;
  return 0;
}

int resolveLinks(const std::string& path, std::string& resolved) {
  resolved = path;
#if !defined(_WIN32)
  constexpr int kMaxLinks = 40;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(st.st_mode)) return 0;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(resolved.c_str(), &target[0], target.size());
    if (n < 0) return errno;
    target.resize(static_cast<std::size_t>(n));
    const std::size_t slash = resolved.find_last_of('/');
    resolved = target[0] == '/' || slash == std::string::npos ? target : resolved.substr(0, slash + 1) + target;
  }
  return ELOOP;
#else
  // Windows: links are left to the system's own rename.
  return 0;
#endif
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

int createExclusive(const std::string& path) {
  if (injected("alloc", ENOMEM)) throw std::bad_alloc();
#if defined(_WIN32)
  const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return errno;
  _close(fd);
#else
  const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  ::close(fd);
#endif
  return 0;
}

int createDirectory(const std::string& path) {
#if defined(_WIN32)
  return _mkdir(path.c_str()) == 0 ? 0 : errno;
#else
  return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
#endif
}

void removeDirectory(const std::string& path) {
#if defined(_WIN32)
  _rmdir(path.c_str());
#else
  ::rmdir(path.c_str());
#endif
}

int checkReadable(const std::string& path) {
#if defined(_WIN32)
  const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0) return errno;
  _close(fd);
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  ::close(fd);
#endif
  return 0;
}

WriteHandle::~WriteHandle() {
#if defined(_WIN32)
  if (_fd >= 0) _close(_fd);
#else
  if (_fd >= 0) ::close(_fd);
#endif
}

int WriteHandle::open(const std::string& path) {
#if defined(_WIN32)
  _fd = _open(path.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY);
#else
  _fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
#endif
  return _fd < 0 ? errno : 0;
}

int WriteHandle::write(const char* data, std::size_t size) {
  if (const int error = injected("write", ENOSPC)) return error;
  constexpr std::size_t kMaxChunk = 1u << 30;
  while (size > 0) {
    const std::size_t chunk = size < kMaxChunk ? size : kMaxChunk;
#if defined(_WIN32)
    const int n = _write(_fd, data, static_cast<unsigned>(chunk));
#else
    const ssize_t n = ::write(_fd, data, chunk);
#endif
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

int WriteHandle::close() {
  const int fd = _fd;
  _fd = -1;
  if (fd < 0) return EBADF;
#if defined(_WIN32)
  return _close(fd) == 0 ? 0 : errno;
#else
  return ::close(fd) == 0 ? 0 : errno;
#endif
}

int syncFile(const std::string& path) {
#if defined(_WIN32)
  const int fd = _open(path.c_str(), _O_RDWR | _O_BINARY);
  if (fd < 0) return errno;
  const int synced = _commit(fd) == 0 ? 0 : errno;
  _close(fd);
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int synced = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
#endif
  return synced;
}

int replace(const std::string& from, const std::string& to) {
  if (const int error = injected("rename", EXDEV)) return error;
#if defined(_WIN32)
  // A target that another process has open, or is replacing at this moment,
  // refuses the move for a short while: try again, waiting a little longer
  // each time (about 5 s in all), as other tools replacing files do.
  constexpr int kAttempts = 9;
  DWORD error = ERROR_SUCCESS;
  for (int i = 0; i < kAttempts; ++i) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return 0;
    error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    Sleep(10u << i);
  }
  return fromWindowsError(error);
#else
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
#endif
}

int hardLink(const std::string& existing, const std::string& newPath) {
#if defined(_WIN32)
  if (!CreateHardLinkW(wide(newPath).c_str(), wide(existing).c_str(), nullptr)) return fromWindowsError(GetLastError());
  return 0;
#else
  return ::link(existing.c_str(), newPath.c_str()) == 0 ? 0 : errno;
#endif
}

void removeFile(const std::string& path) { std::remove(path.c_str()); }

std::string uniqueName() {
  static std::atomic<unsigned> calls{0};
  std::random_device device;
#if defined(_WIN32)
  const unsigned long long pid = static_cast<unsigned long long>(_getpid());
#else
  const unsigned long long pid = static_cast<unsigned long long>(::getpid());
#endif
  const unsigned long long clock =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long v = (static_cast<unsigned long long>(device()) << 32 ^ device()) ^ pid * 0x9E3779B97F4A7C15ull ^
                         clock ^ static_cast<unsigned long long>(++calls) << 48;
  static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name;
  for (int i = 0; i < 10; ++i, v /= 36) name += kDigits[v % 36];
  return name;
}

std::string reason(int error) { return std::strerror(error); }

}  // namespace fs
}  // namespace kmbrep
