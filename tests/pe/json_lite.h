#pragma once
// Just enough JSON to read the recorded fixture expectations: objects, arrays, strings (UTF-8,
// with \u escapes), numbers, booleans and null. Throws std::runtime_error on malformed input.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace brevalcore::testing {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  // A plain struct, not std::pair: a pair of an incomplete Json cannot be instantiated here.
  struct Member;
  std::vector<Member> members;  // in file order

  const Json* Find(const std::string& key) const;
  const Json& operator[](const std::string& key) const {
    if (const Json* v = Find(key)) return *v;
    throw std::runtime_error("missing key " + key);
  }
  uint64_t AsU64() const { return static_cast<uint64_t>(number); }
};

struct Json::Member {
  std::string first;
  Json second;
};

inline const Json* Json::Find(const std::string& key) const {
  for (const auto& [k, v] : members)
    if (k == key) return &v;
  return nullptr;
}

class JsonParser {
 public:
  explicit JsonParser(std::string text) : s_(std::move(text)) {}
  Json Parse() {
    Json v = Value();
    Space();
    if (i_ != s_.size()) throw std::runtime_error("trailing text");
    return v;
  }

 private:
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
  }
  char Next() {
    if (i_ >= s_.size()) throw std::runtime_error("unexpected end");
    return s_[i_++];
  }
  void Expect(char c) {
    if (Next() != c) throw std::runtime_error(std::string("expected ") + c);
  }
  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) out += static_cast<char>(cp);
    else if (cp < 0x800) { out += static_cast<char>(0xC0 | (cp >> 6)); out += static_cast<char>(0x80 | (cp & 0x3F)); }
    else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  uint32_t Hex4() {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = Next();
      v = v * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
  }
  std::string String() {
    Expect('"');
    std::string out;
    for (;;) {
      char c = Next();
      if (c == '"') return out;
      if (c != '\\') { out += c; continue; }
      c = Next();
      switch (c) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && i_ + 1 < s_.size() && s_[i_] == '\\') {
            i_ += 2;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default: out += c;
      }
    }
  }
  Json Value() {
    Space();
    Json v;
    const char c = i_ < s_.size() ? s_[i_] : '\0';
    if (c == '{') {
      v.kind = Json::Kind::Object;
      ++i_;
      Space();
      if (s_[i_] == '}') { ++i_; return v; }
      for (;;) {
        Space();
        std::string key = String();
        Space();
        Expect(':');
        v.members.push_back({std::move(key), Value()});
        Space();
        if (Next() == '}') return v;
      }
    }
    if (c == '[') {
      v.kind = Json::Kind::Array;
      ++i_;
      Space();
      if (s_[i_] == ']') { ++i_; return v; }
      for (;;) {
        v.items.push_back(Value());
        Space();
        if (Next() == ']') return v;
      }
    }
    if (c == '"') {
      v.kind = Json::Kind::String;
      v.text = String();
      return v;
    }
    if (s_.compare(i_, 4, "true") == 0) { i_ += 4; v.kind = Json::Kind::Bool; v.boolean = true; return v; }
    if (s_.compare(i_, 5, "false") == 0) { i_ += 5; v.kind = Json::Kind::Bool; return v; }
    if (s_.compare(i_, 4, "null") == 0) { i_ += 4; return v; }
    size_t used = 0;
    v.kind = Json::Kind::Number;
    v.number = std::stod(s_.substr(i_, 32), &used);
    i_ += used;
    return v;
  }

  std::string s_;
  size_t i_ = 0;
};

inline Json ReadJsonFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return JsonParser(std::string(std::istreambuf_iterator<char>(in), {})).Parse();
}

}  // namespace brevalcore::testing
