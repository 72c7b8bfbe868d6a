// The root of the host object model: reference counted, typed, streamable.
#ifndef MV_HOST_BASE_H
#define MV_HOST_BASE_H

#include "host/MvRefCounted.h"
#include "host/MvType.h"

#include <cstddef>

class MvObjectStream;

class MV61_API MvBase : public MvRefCounted {
 public:
  MvBase() = default;
  MvBase(const MvBase&) = default;
  MvBase& operator=(const MvBase&) = default;

  // Virtual operations in the host's table order, after MvRefCounted's
  // _ref, _unref, _unrefNoDelete and destructor.
  ~MvBase() override;
  virtual const MvGUID& typeGUID() const;
  virtual unsigned isOfType(const MvType& t) const;
  virtual unsigned isOfExactType(const MvType& t) const;
  // Whether objects of this class may be written to a host stream.
  virtual unsigned isStreamable() const;
  // Writes the object's record at the stream's position; 1 on success.
  virtual unsigned serialize(MvObjectStream& stream) const;
  // Reads the object's record from the stream's position; 1 on success.
  virtual unsigned deserialize(MvObjectStream& stream);
  virtual void setCompressionLevel(int level);
  virtual int compressionLevel() const;
  virtual const MvType& type() const;
  // A new copy of this object in `out` (no reference added); 1 on success.
  virtual unsigned _clone(MvBase*& out) const;

  // Allocation of host objects through the shared heap; yields null (never
  // throws) when no memory is left, so `new` then gives null.
  static void* operator new(std::size_t bytes) noexcept;
  static void operator delete(void* p, std::size_t bytes) noexcept;

  // The root record, null until constructType() has run.
  static MvType* __type;
  static void constructType();
  static const MvType* classTypePtr() { return __type; }

  // Makes a type record and registers it with the host; `out` receives it.
  static void createMvType(MvType*& out, const MvGUID& guid, const MvString& name,
                           const MvType& parent, MvBase* (*factory)());

 private:
  int _compressionLevel = 0;
};

#endif
