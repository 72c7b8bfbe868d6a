// Iterators through which per-vertex float data is handed to host shapes.
#ifndef MV_HOST_SHAPEDATAITER_H
#define MV_HOST_SHAPEDATAITER_H

#include "host/MvAutoPtr.h"
#include "host/MvRefCounted.h"

#include <climits>

// Abstract walk over elements of N floats. `owner` keeps the iterated floats
// alive; it is null when the data belongs to the caller.
template <class T, int N>
class MvShapeDataIter {
 public:
  MvShapeDataIter() = default;
  explicit MvShapeDataIter(MvRefCounted* o) : owner(o) {}
  virtual ~MvShapeDataIter() = default;

  // The current element's first float, or null when there is none.
  virtual const T* get() const = 0;
  // Advances by n elements and yields what get() then yields.
  virtual const T* next(int n) = 0;
  // Number of elements.
  virtual int size() const = 0;
  // Goes back to before the first element.
  virtual void reset() = 0;
  // Whether the elements lie at a fixed stride in one float array.
  virtual unsigned isStrided() const = 0;

  MvAutoPtr<MvRefCounted> owner;
};

template <class T, int N>
class MvStrideIter : public MvShapeDataIter<T, N> {
 public:
  MvStrideIter() : MvStrideIter(nullptr, 0, N, nullptr) {}
  MvStrideIter(const T* d, int c, int s, MvRefCounted* o)
      : MvShapeDataIter<T, N>(o), data(d), count(c), stride(s), position(0), end(product(c, s)) {
    MvStrideIter::reset();
  }

  const T* get() const override {
    if (data && position >= 0 && position < end) return data + position;
    return nullptr;
  }
  const T* next(int n) override {
    position = clamp(static_cast<long long>(position) + static_cast<long long>(n) * stride);
    return get();
  }
  int size() const override { return count; }
  void reset() override { position = clamp(-static_cast<long long>(stride)); }
  unsigned isStrided() const override { return 1; }

  // Points the iterator at new data; the new owner's reference is taken
  // before the old one is dropped.
  virtual unsigned set(const T* d, int c, int s, MvRefCounted* o) {
    data = d;
    count = c;
    stride = s;
    end = product(c, s);
    reset();
    this->owner = o;
    return 1;
  }

  const T* data;
  int count;
  int stride;
  int position;
  int end;

 private:
  // Positions are kept in 32 bits; a walk that would leave that range is
  // parked at its edge (outside the elements) instead of wrapping.
  static int clamp(long long v) {
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
  }
  static int product(int c, int s) { return clamp(static_cast<long long>(c) * s); }
};

#endif
