// A counted reference to a host object (MvRefCounted or a descendant).
#ifndef MV_HOST_AUTOPTR_H
#define MV_HOST_AUTOPTR_H

#include <cstddef>

template <class T>
class MvAutoPtr {
 public:
  MvAutoPtr() noexcept : p(nullptr) {}
  MvAutoPtr(std::nullptr_t) noexcept : p(nullptr) {}
  MvAutoPtr(T* q) : p(q) {
    if (p) p->_ref();
  }
  MvAutoPtr(const MvAutoPtr& o) : p(o.p) {
    if (p) p->_ref();
  }
  template <class U>
  MvAutoPtr(const MvAutoPtr<U>& o) : p(o.get()) {
    if (p) p->_ref();
  }
  MvAutoPtr(MvAutoPtr&& o) noexcept : p(o.p) { o.p = nullptr; }
  ~MvAutoPtr() { release(); }

  MvAutoPtr& operator=(T* q) {
    if (q != p) {
      // Take the new reference before dropping the old one: dropping first
      // could destroy an object that q is reached through. The new pointer is
      // stored before the old object can run its destructor.
      if (q) q->_ref();
      T* old = p;
      p = q;
      if (old) old->_unref();
    }
    return *this;
  }
  MvAutoPtr& operator=(const MvAutoPtr& o) { return *this = o.p; }
  template <class U>
  MvAutoPtr& operator=(const MvAutoPtr<U>& o) {
    return *this = o.get();
  }
  MvAutoPtr& operator=(MvAutoPtr&& o) noexcept {
    if (this != &o) {
      T* old = p;
      p = o.p;
      o.p = nullptr;
      if (old) old->_unref();
    }
    return *this;
  }
  MvAutoPtr& operator=(std::nullptr_t) {
    release();
    return *this;
  }

  // Drops the held reference and leaves the pointer null.
  void release() {
    T* old = p;
    p = nullptr;
    if (old) old->_unref();
  }

  T* get() const noexcept { return p; }
  T* operator->() const noexcept { return p; }
  T& operator*() const noexcept { return *p; }
  operator T*() const noexcept { return p; }

 private:
  T* p;
};

#endif
