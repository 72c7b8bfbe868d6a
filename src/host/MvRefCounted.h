// Intrusive reference counting of the host toolkit's objects.
#ifndef MV_HOST_REFCOUNTED_H
#define MV_HOST_REFCOUNTED_H

#include "host/MvExport.h"

#include <cstdint>

class MV61_API MvRefCounted {
 public:
  MvRefCounted() noexcept : _refCount(0) {}
  // A copy starts with its own count of 0.
  MvRefCounted(const MvRefCounted&) noexcept : _refCount(0) {}
  MvRefCounted& operator=(const MvRefCounted&) noexcept { return *this; }

  // Takes a reference: adds 1 to the count.
  virtual void _ref() const;
  // Drops a reference: subtracts 1; at 0 the object destroys itself.
  virtual void _unref() const;
  // Drops a reference without ever destroying the object.
  virtual void _unrefNoDelete() const;
  virtual ~MvRefCounted();

  int32_t refCount() const noexcept { return _refCount; }

 private:
  // Plain, not atomic: an object is used by one thread at a time.
  mutable int32_t _refCount;
};

#endif
