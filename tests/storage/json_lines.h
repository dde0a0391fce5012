#pragma once
// A small reader for the recorded profile vectors (one JSON object per line). Strings decode
// to byte strings: every code point is one byte (0-255), as the vectors are written.
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brevalcore::storage::testing {

struct Json {
  bool null = true;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  bool IsNull() const { return null; }
  bool Has(const std::string& name) const { return fields.count(name) != 0; }
  const Json& operator[](const std::string& name) const {
    static const Json none;
    const auto it = fields.find(name);
    return it == fields.end() ? none : it->second;
  }
  std::optional<std::string> OptText() const { return null ? std::nullopt : std::optional<std::string>(text); }
};

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : s_(text) {}

  Json Parse() {
    Skip();
    Json v;
    const char c = s_.at(i_);
    if (c == '{' || c == '[') {
      v.null = false;
      ++i_;
      for (Skip(); s_.at(i_) != (c == '{' ? '}' : ']'); Skip()) {
        if (s_[i_] == ',') { ++i_; continue; }
        if (c == '[') { v.items.push_back(Parse()); continue; }
        std::string name = String();
        Skip();
        if (s_.at(i_++) != ':') throw std::runtime_error("json: ':' expected");
        v.fields[name] = Parse();
      }
      ++i_;
    } else if (c == '"') {
      v.null = false;
      v.text = String();
    } else if (s_.substr(i_, 4) == "null") {
      i_ += 4;
    } else {  // numbers and booleans: only numbers matter here
      size_t end = s_.find_first_of(",}] ", i_);
      const std::string word(s_.substr(i_, end - i_));
      v.null = false;
      v.number = (word == "true" || word == "false") ? (word == "true") : std::stod(word);
      i_ = end;
    }
    return v;
  }

 private:
  void Skip() { while (i_ < s_.size() && std::string_view(" \t\r\n").find(s_[i_]) != std::string_view::npos) ++i_; }

  std::string String() {
    std::string out;
    for (++i_; s_.at(i_) != '"';) {
      unsigned code = static_cast<unsigned char>(s_[i_++]);
      if (code == '\\') {
        const char e = s_.at(i_++);
        const std::string_view escapes = "n\nr\rt\tb\bf\f";
        if (e == 'u') {
          code = static_cast<unsigned>(std::stoul(std::string(s_.substr(i_, 4)), nullptr, 16));
          i_ += 4;
        } else {
          const size_t at = escapes.find(e);
          code = static_cast<unsigned char>(at != std::string_view::npos && at % 2 == 0 ? escapes[at + 1] : e);
        }
      } else if (code >= 0x80) {  // UTF-8 in the JSON text
        int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : 1;
        code &= 0x3Fu >> extra;
        while (extra-- > 0) code = (code << 6) | (static_cast<unsigned char>(s_.at(i_++)) & 0x3F);
      }
      if (code > 0xFF) throw std::runtime_error("json: code point above 255 in a byte string");
      out.push_back(static_cast<char>(code));
    }
    ++i_;
    return out;
  }

  std::string_view s_;
  size_t i_ = 0;
};

}  // namespace brevalcore::storage::testing
