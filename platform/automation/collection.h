#pragma once
// The platform's ordered automation collection: items numbered from 1 in insertion order,
// each with an optional string key compared without regard to case. Add with a key already
// present raises 457; Item or Remove with a bad index or a missing key raise 5.
#include <list>
#include <unordered_map>

#include "platform/automation/dispatch.h"

namespace brevalcore::automation {

class Collection : public DispatchObject<Collection> {
 public:
  static const ClassInfo& Class();

  // Add(item[, key[, before[, after]]]); before/after are an index or a key.
  void Add(const Variant& item, const Variant& key = Variant::Missing(),
           const Variant& before = Variant::Missing(), const Variant& after = Variant::Missing());
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Item(index or key): an index is converted to a number unless it is a string.
  Variant Item(const Variant& indexOrKey) const;
  void Remove(const Variant& indexOrKey);

  bool ContainsKey(StringView key) const;
  Ref<Enumerator> NewEnum() override;

 private:
  struct Entry {
    Variant item;
    String key;  // empty: no key
  };
  using Iterator = std::list<Entry>::iterator;

  Iterator Locate(const Variant& indexOrKey) const;
  void Insert(Iterator where, Entry entry);

  // Marshalled members (dispatch uses the raw form for optional Variant parameters).
  Variant AddMember(std::span<Variant> args);
  Variant ItemMember(const Variant& indexOrKey) { return Item(indexOrKey); }
  void RemoveMember(const Variant& indexOrKey) { Remove(indexOrKey); }

  mutable std::list<Entry> items_;
  std::unordered_map<String, Iterator> byKey_;  // lower-cased key
  friend class CollectionEnumerator;
};

}  // namespace brevalcore::automation
