// Type records of the host object model and the registry through which the
// host creates objects from their type GUID.
#ifndef MV_HOST_TYPE_H
#define MV_HOST_TYPE_H

#include "host/MvGUID.h"
#include "host/MvString.h"

class MvBase;

class MV61_API MvType {
 public:
  using Factory = MvBase* (*)();

  // Registers the record; a record whose GUID is already registered stays
  // reachable by identity but the registry keeps the first one.
  MvType(const MvGUID& guid, const MvString& name, const MvType* parent, Factory factory);
  // Removes the record from the registry.
  ~MvType();
  MvType(const MvType&) = delete;
  MvType& operator=(const MvType&) = delete;

  const MvGUID& guid() const noexcept { return _guid; }
  const MvString& name() const noexcept { return _name; }
  const MvType* parent() const noexcept { return _parent; }
  Factory factory() const noexcept { return _factory; }

  // Nonzero when this record is t or derives from it (compared by identity).
  unsigned isA(const MvType& t) const noexcept;

  // The registered record with that GUID, or null.
  static const MvType* find(const MvGUID& guid);
  // A new object of the registered type with that GUID, through its factory;
  // null when the type is unknown or has no factory or the factory fails.
  static MvBase* createInstance(const MvGUID& guid);

 private:
  MvGUID _guid;
  MvString _name;
  const MvType* _parent;
  Factory _factory;
};

#endif
