// The host platform singleton and its memory account: every vector storage
// block is entered here when obtained and taken out when released.
#ifndef MV_HOST_PLATFORM_H
#define MV_HOST_PLATFORM_H

#include "host/MvRefCounted.h"

#include <atomic>
#include <cstddef>

class MvPlatform;

template <class T>
class MvSingleton;

template <>
class MV61_API MvSingleton<MvPlatform> {
 public:
  static std::atomic<MvPlatform*> _pInstance;
};

class MV61_API MvPlatform : public MvRefCounted {
 public:
  // The singleton, created when there is none yet.
  static MvPlatform* instance();
  // Creates the singleton when there is none and gives it in `out`. The
  // singleton holds one reference of its own and lives until process exit.
  static void _createInstance(MvPlatform*& out);

  void addToMemory(std::size_t bytes) noexcept;
  void removeFromMemory(std::size_t bytes) noexcept;
  // Bytes currently entered in the account.
  long long memoryInUse() const noexcept;

 private:
  MvPlatform() = default;
  std::atomic<long long> _memory{0};
};

#endif
