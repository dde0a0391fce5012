// Scripting.Dictionary: keyed items in insertion order. Keys compare by value: numbers by
// their numeric value whatever their subtype, texts exactly or without regard to case
// (CompareMode), objects by identity; a number and a text are never the same key.
#include <cstring>
#include <list>
#include <unordered_map>

#include "platform/automation/dispatch.h"
#include "platform/automation/memory.h"
#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

constexpr int32_t kElementNotFound = 32811;

class Dictionary : public DispatchObject<Dictionary> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Dictionary>(u"Dictionary")
                                      .Method<&Dictionary::Add>(u"Add")
                                      .Method<&Dictionary::Exists>(u"Exists")
                                      .Method<&Dictionary::Items>(u"Items")
                                      .Method<&Dictionary::Keys>(u"Keys")
                                      .Method<&Dictionary::Remove>(u"Remove")
                                      .Method<&Dictionary::RemoveAll>(u"RemoveAll")
                                      .Get<&Dictionary::Count>(u"Count")
                                      .Property<&Dictionary::GetCompareMode, &Dictionary::SetCompareMode>(u"CompareMode")
                                      .Let<&Dictionary::SetKey>(u"Key")
                                      .Get<&Dictionary::Item>(u"Item")
                                      .Let<&Dictionary::SetItem>(u"Item")
                                      .Set<&Dictionary::SetItem>(u"Item")
                                      .Default()
                                      .Build();
    return info;
  }

  void Add(const Variant& key, const Variant& item) {
    const String k = Normalise(key);
    if (index_.count(k)) Raise(err::kDuplicateKey);
    Insert(k, key, item);
  }
  bool Exists(const Variant& key) const { return index_.count(Normalise(key)) != 0; }
  Variant Items() const {
    std::vector<Variant> out;
    for (const auto& e : entries_) out.push_back(e.item);
    return Variant(ArrayData::FromVector(std::move(out)));
  }
  Variant Keys() const {
    std::vector<Variant> out;
    for (const auto& e : entries_) out.push_back(e.key);
    return Variant(ArrayData::FromVector(std::move(out)));
  }
  void Remove(const Variant& key) {
    auto it = index_.find(Normalise(key));
    if (it == index_.end()) Raise(kElementNotFound);
    charge_.Remove(EntryBytes(it->first));
    entries_.erase(it->second);
    index_.erase(it);
  }
  void RemoveAll() {
    entries_.clear();
    index_.clear();
    charge_.Set(sizeof(Dictionary));
  }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  int32_t GetCompareMode() const { return mode_ == CompareMode::Text ? 1 : 0; }
  // The mode may change only while the dictionary is empty.
  void SetCompareMode(int32_t mode) {
    if (mode < 0 || !entries_.empty()) InvalidArgument();
    mode_ = mode == 1 ? CompareMode::Text : CompareMode::Binary;
  }
  void SetKey(const Variant& oldKey, const Variant& newKey) {
    auto it = index_.find(Normalise(oldKey));
    if (it == index_.end()) Raise(kElementNotFound);
    const String k = Normalise(newKey);
    if (index_.count(k)) Raise(err::kDuplicateKey);
    auto entry = it->second;
    index_.erase(it);
    entry->key = newKey;
    index_.emplace(k, entry);
  }
  // Reading a missing key adds it with an Empty item, as the platform does.
  Variant Item(const Variant& key) {
    const String k = Normalise(key);
    auto it = index_.find(k);
    if (it == index_.end()) {
      Insert(k, key, Variant());
      return Variant();
    }
    return it->second->item;
  }
  void SetItem(const Variant& key, const Variant& item) {
    const String k = Normalise(key);
    auto it = index_.find(k);
    if (it == index_.end()) Insert(k, key, item);
    else it->second->item = item;
  }

  Dictionary() { charge_.Set(sizeof(Dictionary)); }
  Ref<Enumerator> NewEnum() override;

 private:
  struct Entry {
    Variant key;
    Variant item;
  };

  // A text that is equal for equal keys: a tag for the kind of key, then its value.
  String Normalise(const Variant& key) const {
    switch (key.type()) {
      case VarType::String:
      {
        String text(1, u's');
        text.append(key.AsString());
        if (mode_ == CompareMode::Text)
          for (char16_t& c : text) c = ToLowerChar(c);
        return text;
      }
      case VarType::Object: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "o%p", static_cast<const void*>(key.AsObject()));
        return Ascii(buffer);
      }
      case VarType::Empty: return u"e";
      case VarType::Null: return u"z";
      case VarType::Array: Raise(err::kTypeMismatch);
      default: {
        const double d = ToDouble(key);
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "n%.17g", d == 0 ? 0.0 : d);
        return Ascii(buffer);
      }
    }
  }

  // What an entry holds besides its key's and item's own payloads: the list and index nodes
  // and the normalised key.
  static size_t EntryBytes(const String& normalised) { return 128 + normalised.capacity() * sizeof(char16_t); }

  void Insert(const String& normalised, const Variant& key, const Variant& item) {
    charge_.Add(EntryBytes(normalised));
    entries_.push_back(Entry{key, item});
    index_.emplace(normalised, std::prev(entries_.end()));
  }

  MemoryCharge charge_;  // first, so it is credited after the entries are gone
  std::list<Entry> entries_;
  std::unordered_map<String, std::list<Entry>::iterator> index_;
  CompareMode mode_ = CompareMode::Binary;

  friend class DictionaryEnumerator;
};

// For Each over a dictionary visits its keys, as they were when the loop began.
class DictionaryEnumerator : public Enumerator {
 public:
  explicit DictionaryEnumerator(const Dictionary& d) {
    for (const auto& e : d.entries_) keys_.push_back(e.key);
  }
  bool Next(Variant& out) override {
    if (next_ >= keys_.size()) return false;
    out = keys_[next_++];
    return true;
  }

 private:
  std::vector<Variant> keys_;
  size_t next_ = 0;
};

Ref<Enumerator> Dictionary::NewEnum() { return MakeRef<DictionaryEnumerator>(*this); }

}  // namespace

Ref<Object> NewDictionary() { return MakeRef<Dictionary>(); }

}  // namespace brevalcore::script::library
