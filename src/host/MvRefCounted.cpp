#include "host/MvRefCounted.h"

void MvRefCounted::_ref() const { ++_refCount; }

void MvRefCounted::_unref() const {
  if (--_refCount == 0) delete this;
}

void MvRefCounted::_unrefNoDelete() const { --_refCount; }

MvRefCounted::~MvRefCounted() = default;
