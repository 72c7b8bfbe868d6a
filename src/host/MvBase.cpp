#include "host/MvBase.h"

#include "host/MvHeap.h"

#include <new>

MvType* MvBase::__type = nullptr;

namespace {
// {873A70DF-2AC9-11D1-9B6B-0080C7BB5997}: the root type of the object model.
constexpr _MvIID kMvBaseIID =
    mvMakeIID(0x873A70DF, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97);
}  // namespace

MvBase::~MvBase() = default;

void MvBase::constructType() {
  // The root record lives as long as the process: every registered type
  // points at it as its parent.
  static MvType root(MvGUID(kMvBaseIID), MvString("MvBase"), nullptr, nullptr);
  __type = &root;
}

// The type queries go through the virtual type(), so a class that only
// overrides type() answers them for its own record.
const MvGUID& MvBase::typeGUID() const { return type().guid(); }

unsigned MvBase::isOfType(const MvType& t) const { return type().isA(t); }

unsigned MvBase::isOfExactType(const MvType& t) const { return &t == &type() ? 1u : 0u; }

unsigned MvBase::isStreamable() const { return 0; }

unsigned MvBase::serialize(MvObjectStream&) const { return 1; }

unsigned MvBase::deserialize(MvObjectStream&) { return 1; }

void MvBase::setCompressionLevel(int level) { _compressionLevel = level; }

int MvBase::compressionLevel() const { return _compressionLevel; }

const MvType& MvBase::type() const {
  if (!__type) constructType();
  return *__type;
}

unsigned MvBase::_clone(MvBase*& out) const {
  out = nullptr;
  return 0;
}

void* MvBase::operator new(std::size_t bytes) noexcept { return MvHeap::allocate(bytes); }

void MvBase::operator delete(void* p, std::size_t) noexcept { MvHeap::release(p); }

void MvBase::createMvType(MvType*& out, const MvGUID& guid, const MvString& name,
                          const MvType& parent, MvBase* (*factory)()) {
  out = new (std::nothrow) MvType(guid, name, &parent, factory);
}
