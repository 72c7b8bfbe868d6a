#include "host/MvType.h"

#include <mutex>
#include <vector>

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<const MvType*> records;
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

MvType::MvType(const MvGUID& guid, const MvString& name, const MvType* parent, Factory factory)
    : _guid(guid), _name(name), _parent(parent), _factory(factory) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.mutex);
  r.records.push_back(this);
}

MvType::~MvType() {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.mutex);
  for (auto it = r.records.begin(); it != r.records.end(); ++it) {
    if (*it == this) {
      r.records.erase(it);
      break;
    }
  }
}

unsigned MvType::isA(const MvType& t) const noexcept {
  for (const MvType* p = this; p; p = p->_parent)
    if (p == &t) return 1;
  return 0;
}

const MvType* MvType::find(const MvGUID& guid) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.mutex);
  for (const MvType* t : r.records)
    if (t->_guid == guid) return t;
  return nullptr;
}

MvBase* MvType::createInstance(const MvGUID& guid) {
  const MvType* t = find(guid);
  if (!t || !t->_factory) return nullptr;
  return t->_factory();
}
