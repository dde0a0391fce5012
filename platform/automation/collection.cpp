#include "platform/automation/collection.h"

#include <cmath>

namespace brevalcore::automation {

const ClassInfo& Collection::Class() {
  static const ClassInfo info = ClassBuilder<Collection>(u"Collection")
                                    .Method<&Collection::AddMember>(u"Add")
                                    .Method<&Collection::Count>(u"Count")
                                    .Method<&Collection::ItemMember>(u"Item")
                                    .Default()
                                    .Method<&Collection::RemoveMember>(u"Remove")
                                    .Build();
  return info;
}

namespace {
bool IsGiven(const Variant& v) { return !v.IsMissing() && !v.IsEmpty(); }
}  // namespace

Collection::Iterator Collection::Locate(const Variant& indexOrKey) const {
  const Variant value = Dereference(indexOrKey);
  if (value.IsString()) {
    auto it = byKey_.find(ToLower(value.AsString()));
    if (it == byKey_.end()) Raise(err::kInvalidProcedureCall);
    return it->second;
  }
  const int32_t index = ToLong(value);
  if (index < 1 || index > Count()) Raise(err::kInvalidProcedureCall);
  auto it = items_.begin();
  std::advance(it, index - 1);
  return it;
}

void Collection::Insert(Iterator where, Entry entry) {
  String lowered = ToLower(entry.key);
  const bool keyed = !entry.key.empty();
  auto it = items_.insert(where, std::move(entry));
  if (keyed) byKey_.emplace(std::move(lowered), it);
}

void Collection::Add(const Variant& item, const Variant& key, const Variant& before, const Variant& after) {
  Entry entry{item, String()};
  if (IsGiven(key)) {
    entry.key = ToString(key);
    if (byKey_.count(ToLower(entry.key))) Raise(err::kDuplicateKey);
  }
  if (IsGiven(before) && IsGiven(after)) Raise(err::kInvalidProcedureCall);
  Iterator where = items_.end();
  if (IsGiven(before)) where = Locate(before);
  if (IsGiven(after)) where = std::next(Locate(after));
  Insert(where, std::move(entry));
}

Variant Collection::AddMember(std::span<Variant> args) {
  if (args.empty() || args.size() > 4) Raise(err::kWrongNumberOfArguments);
  auto arg = [&](size_t i) { return i < args.size() ? args[i] : Variant::Missing(); };
  Add(args[0], arg(1), arg(2), arg(3));
  return Variant();
}

Variant Collection::Item(const Variant& indexOrKey) const { return Locate(indexOrKey)->item; }

void Collection::Remove(const Variant& indexOrKey) {
  auto it = Locate(indexOrKey);
  if (!it->key.empty()) byKey_.erase(ToLower(it->key));
  items_.erase(it);
}

bool Collection::ContainsKey(StringView key) const { return byKey_.count(ToLower(key)) != 0; }

// Enumerates a snapshot of the items, so the script may change the collection meanwhile.
class CollectionEnumerator : public Enumerator {
 public:
  explicit CollectionEnumerator(const Collection& c) {
    for (const auto& e : c.items_) items_.push_back(e.item);
  }
  bool Next(Variant& out) override {
    if (next_ >= items_.size()) return false;
    out = items_[next_++];
    return true;
  }

 private:
  std::vector<Variant> items_;
  size_t next_ = 0;
};

Ref<Enumerator> Collection::NewEnum() { return MakeRef<CollectionEnumerator>(*this); }

}  // namespace brevalcore::automation
