#pragma once
// The object-factory registry that stands in for ProgIDs and CreateObject. Built-in classes
// register at start-up; plug-ins may add or replace entries. Creating an unregistered ProgID
// raises 429 "ActiveX component can't create object"; a factory that cannot make its object
// (say, the tracer without its database) raises 429 too.
#include <functional>
#include <map>

#include "platform/automation/variant.h"

namespace brevalcore::automation {

class ObjectFactories {
 public:
  using Factory = std::function<Ref<Object>()>;

  // Registers or replaces the factory for `progId` (matched without regard to case).
  void Register(StringView progId, Factory factory);
  void Unregister(StringView progId);
  bool IsRegistered(StringView progId) const;
  // The factory registered for `progId`, or null.
  const Factory* Find(StringView progId) const;
  Ref<Object> Create(StringView progId) const;

  // The process-wide registry, holding the built-in classes.
  static ObjectFactories& Global();

 private:
  std::map<String, Factory> factories_;  // lower-cased ProgID
};

}  // namespace brevalcore::automation
