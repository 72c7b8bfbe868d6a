// Growable vectors of the host toolkit: MvVec, MvIVec, MvAVec and
// MvAutoPtrVec, all on MvVecBASE. Storage is one block of allocLen elements
// from MvHeap, entered in the platform memory account with its full size.
//
// Element kinds: plain data (zero when new, copied bytewise), vectors and
// auto pointers (empty when new, copied by their copy constructor, destroyed
// by their destructor). Every kind is relocatable: moving elements to a new
// block is a byte copy that keeps vector storage and reference counts as
// they were, so growth never allocates per element and cannot fail half way.
#ifndef MV_HOST_VEC_H
#define MV_HOST_VEC_H

#include "host/MvAutoPtr.h"
#include "host/MvErrorState.h"
#include "host/MvHeap.h"
#include "host/MvPlatform.h"
#include "host/MvVecN.h"

#include <climits>
#include <cstring>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

namespace mv_detail {

// The platform instance for the memory account. While this thread is
// creating the singleton, a request gets no instance and its block is not
// accounted (creating the platform must not recurse into itself).
inline MvPlatform* accountPlatform() {
  MvPlatform* p = MvSingleton<MvPlatform>::_pInstance.load(std::memory_order_acquire);
  if (p) return p;
  thread_local bool creating = false;
  if (creating) return nullptr;
  creating = true;
  MvPlatform::_createInstance(p);
  if (p) p->_ref();
  creating = false;
  return p;
}

inline void accountAdd(std::size_t bytes) {
  if (MvPlatform* p = accountPlatform()) p->addToMemory(bytes);
}

inline void accountRemove(std::size_t bytes) {
  if (MvPlatform* p = accountPlatform()) p->removeFromMemory(bytes);
}

inline void reportAllocationFailure() {
  MvErrorState::throwStdError("MvVecBase", "reallocMem",
                              "Allocation failed: p = new MvChar[cNewAllocBytes]",
                              MvErrorState::kAllocation);
}

}  // namespace mv_detail

template <class T, class S = int>
class MvVecBASE {
 public:
  using value_type = T;

  MvVecBASE() noexcept : data(nullptr), len(0), allocLen(0) {}

  // Storage for n elements (n >= 1), length 0.
  explicit MvVecBASE(int n) : MvVecBASE() {
    if (n >= 1 && !reallocMem(n, 0, 0)) MvErrorState::rethrowError();
  }

  // Storage for exactly o's length, elements copied by kind. When the
  // storage (also that of an inner vector) cannot be obtained the failure is
  // passed on and nothing copied.
  MvVecBASE(const MvVecBASE& o) : MvVecBASE() {
    if (o.len <= 0) return;
    if (!reallocMem(o.len, 0, 0) || !copyElements(data, o.data, o.len)) {
      MvErrorState::rethrowError();
      return;
    }
    len = o.len;
  }

  MvVecBASE(MvVecBASE&& o) noexcept : data(o.data), len(o.len), allocLen(o.allocLen) {
    o.data = nullptr;
    o.len = 0;
    o.allocLen = 0;
  }

  // Copies o; when the copy cannot be made the target stays unchanged.
  MvVecBASE& operator=(const MvVecBASE& o) {
    if (this == &o) return *this;
    MvVecBASE copy(o);
    if (copy.len != o.len) return *this;
    swap(copy);
    return *this;
  }

  MvVecBASE& operator=(MvVecBASE&& o) noexcept {
    if (this != &o) {
      MvVecBASE dead(std::move(*this));
      swap(o);
    }
    return *this;
  }

  ~MvVecBASE() {
    destroyElements(0, len);
    releaseStorage();
  }

  void swap(MvVecBASE& o) noexcept {
    std::swap(data, o.data);
    std::swap(len, o.len);
    std::swap(allocLen, o.allocLen);
  }

  int length() const noexcept { return len; }
  int allocatedLength() const noexcept { return allocLen; }
  // The element storage, or null when the vector has no elements.
  T* ptr() const noexcept { return len > 0 ? data : nullptr; }
  T* begin() const noexcept { return data; }
  T* end() const noexcept { return data + len; }

  // Read-only access: no check, the caller keeps i in range.
  const T& operator[](int i) const { return data[i]; }

  // Growing access: grows the vector to cover index i (a negative i means 0)
  // and yields element i. When the growth fails, the failure is passed on and
  // a scratch element of this thread is yielded; what is written there is
  // dropped.
  T& operator[](int i) {
    const int idx = i < 0 ? 0 : i;
    if (idx < len) return data[idx];
    if (idx < allocLen) {
      newElements(len, idx + 1);
      len = idx + 1;
      return data[idx];
    }
    const int n = grownLength(static_cast<long long>(idx) + 1);
    if (n < 0 || !reallocMem(n, 1, 1)) {
      MvErrorState::rethrowError();
      return scratch();
    }
    len = idx + 1;
    return data[idx];
  }

  // Appends n elements copied by kind from src. src may point into this
  // vector's own elements, but a range that starts in its storage and runs
  // past its elements is refused (code 1): it would read what is not an
  // element. When an inner vector cannot be copied the failure is passed on
  // and the length stays.
  unsigned append(const T* src, int n) {
    if (n <= 0) return 1;
    // Pointers into other blocks are ordered only by std::less.
    const std::less<const T*> below;
    const bool aliased = data && !below(src, data) && below(src, data + allocLen);
    const std::ptrdiff_t at = aliased ? src - data : 0;
    if (aliased && at + n > len) {
      MvErrorState::throwStdError("MvVecBase", "append", "src + n <= end() for a source inside the vector",
                                  MvErrorState::kIndex);
      return 0;
    }
    const long long need = static_cast<long long>(len) + n;
    if (need > allocLen) {
      // Growing releases the old block: an aliased source is found again in
      // the new one.
      const int grown = grownLength(need);
      if (grown < 0 || !reallocMem(grown, 1, 0)) {
        MvErrorState::rethrowError();
        return 0;
      }
      if (aliased) src = data + at;
    }
    if (!copyElements(data + len, src, n)) {
      MvErrorState::rethrowError();
      return 0;
    }
    len += n;
    return 1;
  }

  // Appends the elements of another vector (or of this one: its length is
  // taken before anything grows, so self-append doubles the vector once).
  unsigned append(const MvVecBASE& o) { return append(o.data, o.len); }

  // Within the storage the value is placed directly (it may be one of this
  // vector's own elements: nothing moves); only growth takes the general
  // path, for plain elements from a copy passed by value, so that the
  // value's address does not escape and a caller's variable can stay in a
  // register.
  unsigned append(const T& value) {
    if (len < allocLen) {
      new (data + len) T(value);
      ++len;
      return 1;
    }
    if constexpr (kPlain) {
      return appendCopy(value);
    } else {
      return append(&value, 1);
    }
  }

  // Sets the length: grows to exactly n when n exceeds the storage, makes
  // new elements when it lengthens, destroys vector and pointer elements when
  // it shortens. Storage is not released.
  unsigned setLength(int n) {
    const int want = n < 0 ? 0 : n;
    if (want > allocLen) {
      if (!reallocMem(want, 1, 1)) {
        MvErrorState::rethrowError();
        return 0;
      }
    } else if (want > len) {
      newElements(len, want);
    } else if (want < len) {
      destroyElements(want, len);
    }
    len = want;
    return 1;
  }

  // Removes count elements from start; a negative count or one reaching past
  // the end removes everything from start on.
  unsigned remove(int start, int count) {
    if (start < 0) {
      MvErrorState::throwStdError("MvVecBase", "remove",
                                  "MvVecBASE<T,S>::remove() -- start<0.", MvErrorState::kIndex);
      return 0;
    }
    // An empty vector stays empty whatever start and count are.
    if (len == 0) return 1;
    if (start >= len) {
      MvErrorState::throwStdError("MvVecBase", "remove",
                                  "MvVecBASE<T,S>::remove() -- start>=this->len .",
                                  MvErrorState::kIndex);
      return 0;
    }
    if (count == 0) return 1;
    if (count > 0 && count <= len - start) {
      destroyElements(start, start + count);
      std::memmove(static_cast<void*>(data + start), static_cast<const void*>(data + start + count),
                   sizeof(T) * static_cast<std::size_t>(len - start - count));
      len -= count;
      zeroBytes(len, len + count);
      return 1;
    }
    return setLength(start);
  }

  // Shrinks the storage to the length; at length 0 the storage is released.
  unsigned trim() {
    if (len == 0) {
      releaseStorage();
      return 1;
    }
    if (allocLen != len && !reallocMem(len, 1, 0)) {
      MvErrorState::rethrowError();
      return 0;
    }
    return 1;
  }

  // Replaces the storage by a block of newAllocLen elements. With copyFlag
  // the elements [0, len) move over; with initFlag the elements from len to
  // the end of the block become new elements. On failure (reported, code 20)
  // the vector is unchanged.
  unsigned reallocMem(int newAllocLen, unsigned copyFlag, unsigned initFlag) {
    if (newAllocLen < 0 || !fitsInBlock(newAllocLen)) {
      mv_detail::reportAllocationFailure();
      return 0;
    }
    const std::size_t newBytes = static_cast<std::size_t>(newAllocLen) * sizeof(T);
    // Elements are relocatable: a block that keeps all of them is resized in
    // place where the heap can, without a copy.
    if (copyFlag && data && newAllocLen >= len) {
      T* resized = static_cast<T*>(MvHeap::reallocate(data, newBytes));
      if (!resized) {
        mv_detail::reportAllocationFailure();
        return 0;
      }
      mv_detail::accountRemove(static_cast<std::size_t>(allocLen) * sizeof(T));
      mv_detail::accountAdd(newBytes);
      data = resized;
      allocLen = newAllocLen;
      if (initFlag) newElements(len, allocLen);
      return 1;
    }
    T* block = static_cast<T*>(MvHeap::allocate(newBytes));
    if (!block) {
      mv_detail::reportAllocationFailure();
      return 0;
    }
    const int keep = len < newAllocLen ? len : newAllocLen;
    if (copyFlag) {
      if (keep > 0) {
        std::memcpy(static_cast<void*>(block), static_cast<const void*>(data),
                    sizeof(T) * static_cast<std::size_t>(keep));
      }
      destroyElements(keep, len);
    } else {
      destroyElements(0, len);
      placeNew(block, 0, keep);
    }
    if (data) {
      mv_detail::accountRemove(static_cast<std::size_t>(allocLen) * sizeof(T));
      MvHeap::release(data);
    }
    mv_detail::accountAdd(newBytes);
    data = block;
    allocLen = newAllocLen;
    len = keep;
    if (initFlag) newElements(len, allocLen);
    return 1;
  }

 protected:
  T* data;
  int len;
  int allocLen;

 private:
  static constexpr bool kPlain = std::is_trivially_copyable<T>::value;

  // Growth by one plain element, out of line so that a caller's path within
  // the storage stays short; the copy is taken by value.
  [[gnu::noinline]] unsigned appendCopy(T copy) { return append(&copy, 1); }

  static bool fitsInBlock(long long n) {
    return n <= static_cast<long long>(INT_MAX / sizeof(T));
  }

  // The allocated length for holding `need` elements: at least double the
  // current one, clamped to the largest block; -1 (reported) when even
  // `need` cannot be held.
  int grownLength(long long need) const {
    if (!fitsInBlock(need)) {
      mv_detail::reportAllocationFailure();
      return -1;
    }
    long long n = 2LL * allocLen;
    if (n < need) n = need;
    if (!fitsInBlock(n)) n = static_cast<long long>(INT_MAX / sizeof(T));
    return static_cast<int>(n);
  }

  // Whether a copied element holds all of its source: an inner vector whose
  // storage could not be obtained comes out empty.
  template <class U>
  static auto copiedWhole(const U& copy, const U& src, int) -> decltype(copy.length(), bool()) {
    return copy.length() == src.length();
  }
  template <class U>
  static bool copiedWhole(const U&, const U&, long) {
    return true;
  }

  // Copies n elements by kind into raw storage. False when an inner vector
  // could not be copied; the copies made are destroyed then, and also when a
  // copy throws (the exception passes on).
  static bool copyElements(T* dst, const T* src, int n) {
    if (kPlain) {
      std::memcpy(static_cast<void*>(dst), static_cast<const void*>(src),
                  sizeof(T) * static_cast<std::size_t>(n));
      return true;
    }
    int made = 0;
    bool whole = true;
    try {
      for (; made < n && whole; ++made) {
        new (dst + made) T(src[made]);
        whole = copiedWhole(dst[made], src[made], 0);
      }
    } catch (...) {
      destroyRange(dst, 0, made);
      throw;
    }
    if (!whole) destroyRange(dst, 0, made);
    return whole;
  }

  static void destroyRange(T* block, int from, int to) {
    for (int i = from; i < to; ++i) block[i].~T();
    std::memset(static_cast<void*>(block + from), 0, sizeof(T) * static_cast<std::size_t>(to - from));
  }

  static void placeNew(T* block, int from, int to) {
    if (to <= from) return;
    if (std::is_trivially_default_constructible<T>::value) {
      std::memset(static_cast<void*>(block + from), 0, sizeof(T) * static_cast<std::size_t>(to - from));
    } else {
      for (int i = from; i < to; ++i) new (block + i) T();
    }
  }

  void newElements(int from, int to) { placeNew(data, from, to); }

  void destroyElements(int from, int to) {
    if (std::is_trivially_destructible<T>::value) return;
    for (int i = from; i < to; ++i) data[i].~T();
    zeroBytes(from, to);
  }

  void zeroBytes(int from, int to) {
    if (std::is_trivially_destructible<T>::value || to <= from) return;
    std::memset(static_cast<void*>(data + from), 0, sizeof(T) * static_cast<std::size_t>(to - from));
  }

  void releaseStorage() {
    if (allocLen > 0) {
      mv_detail::accountRemove(static_cast<std::size_t>(allocLen) * sizeof(T));
      MvHeap::release(data);
    }
    data = nullptr;
    len = 0;
    allocLen = 0;
  }

  static T& scratch() {
#if defined(__MINGW32__)
    // mingw-w64 frees a thread's thread_local storage before it runs the
    // destructors of the thread's thread_local objects, so a scratch element
    // with a destructor would be destroyed after its memory is gone. There
    // it lives in raw per-thread storage that nothing destroys when the
    // thread ends: the next failed access on the thread drops what was
    // written, a thread that ends first leaves it behind.
    alignas(T) thread_local unsigned char storage[sizeof(T)];
    thread_local bool made = false;
    T* element = reinterpret_cast<T*>(storage);
    if (made) element->~T();
    made = false;
    element = new (storage) T{};
    made = true;
    return *element;
#else
    thread_local T element{};
    element = T{};
    return element;
#endif
  }
};

template <class T>
class MvVec : public MvVecBASE<T> {
 public:
  using MvVecBASE<T>::MvVecBASE;
  MvVec() = default;
};

template <class T>
class MvIVec : public MvVecBASE<T> {
 public:
  using MvVecBASE<T>::MvVecBASE;
  MvIVec() = default;
};

template <class T>
class MvAVec : public MvVecBASE<T> {
 public:
  using MvVecBASE<T>::MvVecBASE;
  MvAVec() = default;
};

template <class T>
class MvAutoPtrVec : public MvVecBASE<MvAutoPtr<T>> {
 public:
  using MvVecBASE<MvAutoPtr<T>>::MvVecBASE;
  MvAutoPtrVec() = default;
};

#endif
