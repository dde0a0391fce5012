#include "platform/automation/factory.h"

#include "platform/automation/error.h"

namespace brevalcore::automation {

void ObjectFactories::Register(StringView progId, Factory factory) {
  factories_[ToLower(progId)] = std::move(factory);
}

void ObjectFactories::Unregister(StringView progId) { factories_.erase(ToLower(progId)); }

bool ObjectFactories::IsRegistered(StringView progId) const {
  return factories_.count(ToLower(progId)) != 0;
}

const ObjectFactories::Factory* ObjectFactories::Find(StringView progId) const {
  auto it = factories_.find(ToLower(progId));
  return it == factories_.end() ? nullptr : &it->second;
}

Ref<Object> ObjectFactories::Create(StringView progId) const {
  auto it = factories_.find(ToLower(progId));
  if (it == factories_.end()) Raise(err::kCantCreateObject);
  Ref<Object> object = it->second();
  if (!object) Raise(err::kCantCreateObject);
  return object;
}

ObjectFactories& ObjectFactories::Global() {
  static ObjectFactories registry;
  return registry;
}

}  // namespace brevalcore::automation
