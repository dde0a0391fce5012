#pragma once
// A small reader for the recorded profile vectors (one JSON object per line). Strings decode
// to byte strings: every code point is one byte (0-255), as the vectors are written.
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brevalcore::storage::testing {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  bool IsNull() const { return kind == Kind::Null; }
  const Json& operator[](const std::string& name) const {
    static const Json null;
    const auto it = fields.find(name);
    return it == fields.end() ? null : it->second;
  }
  bool Has(const std::string& name) const { return fields.count(name) != 0; }
  std::optional<std::string> OptText() const {
    return IsNull() ? std::nullopt : std::optional<std::string>(text);
  }
};

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : s_(text) {}
  Json Parse() {
    Json value = Value();
    Blanks();
    if (i_ != s_.size()) Fail("trailing text");
    return value;
  }

 private:
  [[noreturn]] void Fail(const char* what) { throw std::runtime_error(std::string("json: ") + what); }
  void Blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  bool Take(char c) {
    Blanks();
    if (i_ < s_.size() && s_[i_] == c) { ++i_; return true; }
    return false;
  }
  void Expect(char c) { if (!Take(c)) Fail("unexpected character"); }
  Json Value() {
    Blanks();
    if (i_ >= s_.size()) Fail("end of text");
    Json v;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Json::Kind::Object;
      if (Take('}')) return v;
      do {
        Blanks();
        std::string name = String();
        Expect(':');
        v.fields[name] = Value();
      } while (Take(','));
      Expect('}');
    } else if (c == '[') {
      ++i_;
      v.kind = Json::Kind::Array;
      if (Take(']')) return v;
      do v.items.push_back(Value()); while (Take(','));
      Expect(']');
    } else if (c == '"') {
      v.kind = Json::Kind::String;
      v.text = String();
    } else if (s_.substr(i_, 4) == "null") {
      i_ += 4;
    } else if (s_.substr(i_, 4) == "true") {
      i_ += 4; v.kind = Json::Kind::Bool; v.boolean = true;
    } else if (s_.substr(i_, 5) == "false") {
      i_ += 5; v.kind = Json::Kind::Bool;
    } else {
      size_t used = 0;
      v.kind = Json::Kind::Number;
      v.number = std::stod(std::string(s_.substr(i_, 32)), &used);
      i_ += used;
    }
    return v;
  }
  std::string String() {
    if (i_ >= s_.size() || s_[i_] != '"') Fail("string expected");
    ++i_;
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      unsigned code = static_cast<unsigned char>(s_[i_++]);
      if (code == '\\') {
        const char e = s_.at(i_++);
        switch (e) {
          case 'n': code = '\n'; break;
          case 'r': code = '\r'; break;
          case 't': code = '\t'; break;
          case 'b': code = '\b'; break;
          case 'f': code = '\f'; break;
          case 'u': code = static_cast<unsigned>(std::stoul(std::string(s_.substr(i_, 4)), nullptr, 16)); i_ += 4; break;
          default: code = static_cast<unsigned char>(e);
        }
      } else if (code >= 0x80) {  // a UTF-8 sequence in the JSON text: decode it
        int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : 1;
        code &= 0x3F >> extra;
        while (extra-- > 0) code = (code << 6) | (static_cast<unsigned char>(s_.at(i_++)) & 0x3F);
      }
      if (code > 0xFF) Fail("code point above 255 in a byte string");
      out.push_back(static_cast<char>(code));
    }
    ++i_;
    return out;
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace brevalcore::storage::testing
