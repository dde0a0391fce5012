// The string functions: lengths and slices, searching, case and trimming, Replace, Split,
// Join, Filter, StrComp, and Escape/Unescape.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/automation/memory.h"
#include "platform/script/library/library.h"
#include "platform/script/limits.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

// Texts where Null propagates: these functions answer Null for a Null text.
bool IsNullArg(Args a, size_t i) {
  if (i >= a.size()) return false;
  return a[i].IsObject() ? Dereference(a[i]).IsNull() : a[i].IsNull();
}

int32_t Count(Args a, size_t i) {
  if (IsNullArg(a, i)) Raise(err::kInvalidUseOfNull);
  const int32_t n = ToLong(a[i]);
  if (n < 0) InvalidArgument();
  return n;
}

// Knuth-Morris-Pratt over any random-access range: linear in text and needle whatever they
// hold. Library searchers are not: std::search is quadratic on "aaa...ab" and the
// Boyer-Moore searchers' tables take quadratic time to build for such needles.
template <class NeedleIt>
class LinearSearch {
 public:
  LinearSearch(NeedleIt needle, NeedleIt needleEnd)
      : needle_(needle), size_(needleEnd - needle), table_(static_cast<size_t>(size_) + 1) {
    // table_[i]: where to resume in the needle after a mismatch at needle[i]; -1 moves the text on.
    table_[0] = -1;
    std::ptrdiff_t candidate = 0;
    for (std::ptrdiff_t i = 1; i < size_; ++i, ++candidate) {
      if (needle_[i] == needle_[candidate]) {
        table_[static_cast<size_t>(i)] = table_[static_cast<size_t>(candidate)];
      } else {
        table_[static_cast<size_t>(i)] = candidate;
        while (candidate >= 0 && needle_[i] != needle_[candidate]) candidate = table_[static_cast<size_t>(candidate)];
      }
    }
    table_[static_cast<size_t>(size_)] = candidate;
  }

  // The first match in [first, last), or last.
  template <class TextIt>
  TextIt Find(TextIt first, TextIt last) const {
    std::ptrdiff_t k = 0;
    for (TextIt at = first; at != last;) {
      if (needle_[k] == *at) {
        ++at;
        if (++k == size_) return at - size_;
      } else {
        k = table_[static_cast<size_t>(k)];
        if (k < 0) {
          ++at;
          ++k;
        }
      }
    }
    return last;
  }

 private:
  NeedleIt needle_;
  std::ptrdiff_t size_;
  std::vector<std::ptrdiff_t> table_;
};

// The first place in [at, end) holding `unit`, or end; eight units a step where the processor
// compares them at once.
const char16_t* FindUnit(const char16_t* at, const char16_t* end, char16_t unit) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
  for (; end - at >= 8; at += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const int found = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted));
    if (found) return at + __builtin_ctz(static_cast<unsigned>(found)) / 2;
  }
#endif
  for (; at < end; ++at)
    if (*at == unit) return at;
  return end;
}

// A short needle in `text` from `from`, or npos: each place its first unit is found, the rest
// compared as bytes. Rule scripts search short lists many times a call, and the library goes
// unit by unit.
size_t FindShort(StringView text, StringView what, size_t from) {
  const size_t n = what.size();
  if (n == 0) return from;
  if (n > text.size() || from > text.size() - n) return StringView::npos;
  const char16_t* const begin = text.data();
  const char16_t* const stop = begin + (text.size() - n) + 1;  // past the last place a match starts
  for (const char16_t* at = begin + from; (at = FindUnit(at, stop, what[0])) != stop; ++at)
    if (std::memcmp(at + 1, what.data() + 1, (n - 1) * sizeof(char16_t)) == 0) return static_cast<size_t>(at - begin);
  return StringView::npos;
}

// Searches one text for one needle in time linear in both: short needles with the library's
// find, long ones (a 100 KB needle in 2 MB of text) with LinearSearch. Text compare searches
// the lower-cased text, since lower-casing keeps every position.
class Searcher {
 public:
  // Binary comparison searches the texts as they are; Text compares lower-cased copies.
  Searcher(StringView text, StringView what, CompareMode mode)
      : folded_(mode == CompareMode::Text ? ToLower(text) : String()),
        foldedWhat_(mode == CompareMode::Text ? ToLower(what) : String()),
        what_(mode == CompareMode::Text ? StringView(foldedWhat_) : what),
        text_(mode == CompareMode::Text ? StringView(folded_) : text) {}

  // The first match at or after `from`, or npos.
  size_t Find(size_t from) const {
    if (from > text_.size()) return StringView::npos;
    if (what_.size() < kLongNeedle) return FindShort(text_, what_, from);
    if (!forward_) forward_.emplace(what_.cbegin(), what_.cend());
    const auto found = forward_->Find(text_.begin() + static_cast<std::ptrdiff_t>(from), text_.end());
    return found == text_.end() ? StringView::npos : static_cast<size_t>(found - text_.begin());
  }

  // The last match that ends at or before `end`, or npos.
  size_t FindLast(size_t end) const {
    if (what_.size() > end) return StringView::npos;
    if (what_.size() < kLongNeedle) return text_.substr(0, end).rfind(what_);
    const LinearSearch<StringView::const_reverse_iterator> backward(what_.crbegin(), what_.crend());
    const auto first = text_.rbegin() + static_cast<std::ptrdiff_t>(text_.size() - end);
    const auto found = backward.Find(first, text_.rend());
    if (found == text_.rend()) return StringView::npos;
    return static_cast<size_t>(text_.rend() - found) - what_.size();
  }

 private:
  // Below this the plain search is quadratic only in a needle too short to matter.
  static constexpr size_t kLongNeedle = 16;
  String folded_;
  String foldedWhat_;
  StringView what_;
  StringView text_;
  mutable std::optional<LinearSearch<StringView::const_iterator>> forward_;
};

// The text of an argument: a string read where it is, anything else converted into `store`.
StringView TextOf(const Variant& v, String& store) {
  if (v.IsString()) return v.AsString();
  store = ToString(v);
  return store;
}

// Position of `what` in `text` from `from` (0-based), or npos.
size_t Find(StringView text, StringView what, size_t from, CompareMode mode) {
  return Searcher(text, what, mode).Find(from);
}

Variant Len(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  String store;
  return Variant(static_cast<int32_t>(TextOf(a[0], store).size()));
}

Variant LenB(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  return Variant(static_cast<int32_t>(ToString(a[0]).size() * 2));
}

Variant Left(BuiltinContext&, Args a) {
  const int32_t n = Count(a, 1);
  if (IsNullArg(a, 0)) return Variant::Null();
  String store;
  return Variant(TextOf(a[0], store).substr(0, static_cast<size_t>(n)));
}

Variant Right(BuiltinContext&, Args a) {
  const int32_t n = Count(a, 1);
  if (IsNullArg(a, 0)) return Variant::Null();
  String store;
  const StringView s = TextOf(a[0], store);
  return Variant(s.substr(s.size() - std::min(s.size(), static_cast<size_t>(n))));
}

Variant Mid(BuiltinContext&, Args a) {
  if (IsNullArg(a, 1)) Raise(err::kInvalidUseOfNull);
  const int32_t start = ToLong(a[1]);
  if (start < 1) InvalidArgument();
  const int32_t length = Given(a, 2) ? Count(a, 2) : INT32_MAX;
  if (IsNullArg(a, 0)) return Variant::Null();
  String store;
  const StringView s = TextOf(a[0], store);
  if (static_cast<size_t>(start) > s.size()) return Variant(StringView());
  return Variant(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
}

// InStr([start, ]string1, string2[, compare])
Variant InStr(BuiltinContext&, Args a) {
  size_t first = 0;
  int32_t start = 1;
  if (a.size() >= 3) {
    if (IsNullArg(a, 0)) Raise(err::kInvalidUseOfNull);
    start = ToLong(a[0]);
    if (start < 1) InvalidArgument();
    first = 1;
  }
  const CompareMode mode = CompareArg(a, first + 2);
  if (IsNullArg(a, first) || IsNullArg(a, first + 1)) return Variant::Null();
  String textStore, whatStore;
  const StringView text = TextOf(a[first], textStore), what = TextOf(a[first + 1], whatStore);
  if (static_cast<size_t>(start) > text.size()) return Variant(int32_t{0});
  if (what.empty()) return Variant(start);
  const size_t at = Find(text, what, static_cast<size_t>(start - 1), mode);
  return Variant(static_cast<int32_t>(at == StringView::npos ? 0 : at + 1));
}

// InStrRev(string1, string2[, start[, compare]])
Variant InStrRev(BuiltinContext&, Args a) {
  int32_t start = LongArg(a, 2, -1);
  if (start == 0 || start < -1) InvalidArgument();
  const CompareMode mode = CompareArg(a, 3);
  if (IsNullArg(a, 0) || IsNullArg(a, 1)) return Variant::Null();
  const String text = ToString(a[0]), what = ToString(a[1]);
  if (start == -1) start = static_cast<int32_t>(text.size());
  if (static_cast<size_t>(start) > text.size()) return Variant(int32_t{0});
  if (what.empty()) return Variant(start);
  // The match must end at or before `start`.
  const size_t at = Searcher(text, what, mode).FindLast(static_cast<size_t>(start));
  return Variant(static_cast<int32_t>(at == StringView::npos ? 0 : at + 1));
}

// The text of the first argument with every unit mapped; Null for Null.
Variant MapUnits(Args a, char16_t (*map)(char16_t)) {
  if (IsNullArg(a, 0)) return Variant::Null();
  String store;
  const StringView s = TextOf(a[0], store);
  char16_t* out;
  Variant result = Variant::NewText(s.size(), 0, out);
  std::transform(s.begin(), s.end(), out, map);
  return result;
}

Variant LCase(BuiltinContext&, Args a) { return MapUnits(a, ToLowerChar); }
Variant UCase(BuiltinContext&, Args a) { return MapUnits(a, ToUpperChar); }

// The Trim family removes spaces only, not tabs or line ends.
Variant TrimSides(Args a, bool left, bool right) {
  if (IsNullArg(a, 0)) return Variant::Null();
  String store;
  const StringView s = TextOf(a[0], store);
  size_t begin = 0, end = s.size();
  if (left) while (begin < end && s[begin] == u' ') ++begin;
  if (right) while (end > begin && s[end - 1] == u' ') --end;
  return Variant(s.substr(begin, end - begin));
}

Variant LTrim(BuiltinContext&, Args a) { return TrimSides(a, true, false); }
Variant RTrim(BuiltinContext&, Args a) { return TrimSides(a, false, true); }
Variant Trim(BuiltinContext&, Args a) { return TrimSides(a, true, true); }

// A text of `n` copies of `c`, asked of the memory budget first (String(1e9, "x")).
Variant Repeated(size_t n, char16_t c) {
  RequireMemory(TextBytes(n));
  return Variant(String(n, c));
}

Variant Space(BuiltinContext&, Args a) { return Repeated(static_cast<size_t>(Count(a, 0)), u' '); }

// String(number, character): the character is the first of a text or a character code.
Variant StringFn(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0) || IsNullArg(a, 1)) return Variant::Null();
  const int32_t n = Count(a, 0);
  const Variant c = Value(a, 1);
  char16_t ch;
  if (c.IsString()) {
    if (c.AsString().empty()) InvalidArgument();
    ch = c.AsString()[0];
  } else {
    const int32_t code = ToLong(c);
    if (code < 0) InvalidArgument();
    const char byte = static_cast<char>(code % 256);
    ch = FromCp1252(std::string_view(&byte, 1))[0];
  }
  return Repeated(static_cast<size_t>(n), ch);
}

Variant StrComp(BuiltinContext&, Args a) {
  const CompareMode mode = CompareArg(a, 2);
  if (IsNullArg(a, 0) || IsNullArg(a, 1)) return Variant::Null();
  return Variant(static_cast<int16_t>(CompareStrings(ToString(a[0]), ToString(a[1]), mode)));
}

Variant StrReverse(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) Raise(err::kInvalidUseOfNull);
  String s = ToString(a[0]);
  return Variant(String(s.rbegin(), s.rend()));
}

// Replace(expression, find, replacement[, start[, count[, compare]]]): the result begins at
// `start`; the part before it is dropped, as the platform does.
Variant Replace(BuiltinContext&, Args a) {
  for (size_t i = 0; i < 3; ++i)
    if (IsNullArg(a, i)) Raise(err::kInvalidUseOfNull);
  const int32_t start = LongArg(a, 3, 1);
  const int32_t count = LongArg(a, 4, -1);
  if (start < 1 || count < -1) InvalidArgument();
  const CompareMode mode = CompareArg(a, 5);
  String textStore, findStore, withStore;
  const StringView text = TextOf(a[0], textStore), find = TextOf(a[1], findStore), with = TextOf(a[2], withStore);
  if (static_cast<size_t>(start) > text.size()) return Variant(StringView());
  const StringView rest = text.substr(static_cast<size_t>(start - 1));
  if (find.empty() || count == 0) return Variant(rest);
  // The matches first, then the result at its final size: linear, and the budget is asked
  // before a doubling text is made.
  const Searcher searcher(rest, find, mode);
  std::vector<size_t> matches;
  for (size_t at = searcher.Find(0); at != StringView::npos && (count == -1 || static_cast<int32_t>(matches.size()) < count);
       at = searcher.Find(at + find.size()))
    matches.push_back(at);
  const size_t size = rest.size() - matches.size() * find.size() + matches.size() * with.size();
  char16_t* out;
  Variant result = Variant::NewText(size, 0, out);  // asks the budget first
  size_t pos = 0;
  for (size_t at : matches) {
    out = std::copy(rest.begin() + static_cast<std::ptrdiff_t>(pos), rest.begin() + static_cast<std::ptrdiff_t>(at), out);
    out = std::copy(with.begin(), with.end(), out);
    pos = at + find.size();
  }
  std::copy(rest.begin() + static_cast<std::ptrdiff_t>(pos), rest.end(), out);
  return result;
}

Variant Split(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) Raise(err::kInvalidUseOfNull);
  const String text = ToString(a[0]);
  const String delimiter = Given(a, 1) ? ToString(a[1]) : String(u" ");
  const int32_t limit = LongArg(a, 2, -1);
  if (limit < -1) InvalidArgument();
  const CompareMode mode = CompareArg(a, 3);
  std::vector<Variant> parts;
  if (!text.empty() && limit != 0) {
    if (delimiter.empty()) {
      parts.emplace_back(text);
    } else {
      const Searcher searcher(text, delimiter, mode);
      size_t pos = 0;
      for (;;) {
        if (limit != -1 && static_cast<int32_t>(parts.size()) == limit - 1) break;
        const size_t at = searcher.Find(pos);
        if (at == StringView::npos) break;
        parts.emplace_back(text.substr(pos, at - pos));
        pos = at + delimiter.size();
        SpendInActiveRun(64);  // each part is an allocation: a few million of them take seconds
      }
      parts.emplace_back(text.substr(pos));
    }
  }
  return Variant(automation::ArrayData::FromVector(std::move(parts)));
}

const automation::ArrayData& OneDimensional(const Variant& v) {
  if (!v.IsArray()) Raise(err::kTypeMismatch);
  if (v.AsArray().Dimensions() != 1) InvalidArgument();
  return v.AsArray();
}

Variant Join(BuiltinContext&, Args a) {
  const Variant list = Value(a, 0);
  const auto& array = OneDimensional(list);
  const String delimiter = Given(a, 1) ? ToString(a[1]) : String(u" ");
  std::vector<String> texts;
  texts.reserve(array.size());
  size_t size = array.size() > 1 ? (array.size() - 1) * delimiter.size() : 0;
  for (size_t i = 0; i < array.size(); ++i) {
    texts.push_back(ToString(array[i]));
    size += texts.back().size();
    RequireMemory(TextBytes(size));
  }
  String out;
  out.reserve(size);
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i) out += delimiter;
    out += texts[i];
  }
  return Variant(std::move(out));
}

// Filter(list, value[, include[, compare]]): the items that contain (or lack) `value`.
Variant Filter(BuiltinContext&, Args a) {
  const Variant list = Value(a, 0);
  if (list.IsNull()) Raise(err::kInvalidUseOfNull);
  const auto& array = OneDimensional(list);
  if (IsNullArg(a, 1)) Raise(err::kInvalidUseOfNull);
  const String what = ToString(a[1]);
  const bool include = BoolArg(a, 2, true);
  const CompareMode mode = CompareArg(a, 3);
  std::vector<Variant> kept;
  for (const Variant& item : array.items()) {
    const String s = ToString(item);
    if ((Find(s, what, 0, mode) != StringView::npos) == include) kept.emplace_back(s);
    SpendInActiveRun(s.size() + 1);
  }
  return Variant(automation::ArrayData::FromVector(std::move(kept)));
}

// The byte forms count two bytes per UTF-16 unit; a byte count that splits a unit is
// rounded down to whole units.
Variant LeftB(BuiltinContext&, Args a) {
  const int32_t n = Count(a, 1);
  if (IsNullArg(a, 0)) return Variant::Null();
  return Variant(ToString(a[0]).substr(0, static_cast<size_t>(n / 2)));
}

Variant RightB(BuiltinContext&, Args a) {
  const int32_t n = Count(a, 1);
  if (IsNullArg(a, 0)) return Variant::Null();
  const String s = ToString(a[0]);
  return Variant(s.substr(s.size() - std::min(s.size(), static_cast<size_t>(n / 2))));
}

Variant MidB(BuiltinContext&, Args a) {
  if (IsNullArg(a, 1)) Raise(err::kInvalidUseOfNull);
  const int32_t start = ToLong(a[1]);
  if (start < 1) InvalidArgument();
  const int32_t length = Given(a, 2) ? Count(a, 2) : INT32_MAX;
  if (IsNullArg(a, 0)) return Variant::Null();
  const String s = ToString(a[0]);
  const size_t first = static_cast<size_t>(start - 1) / 2;
  if (first >= s.size()) return Variant(String());
  return Variant(s.substr(first, static_cast<size_t>(length / 2)));
}

// InStrB answers the byte position of the match: 2 * (position - 1) + 1.
Variant InStrB(BuiltinContext& c, Args a) {
  Variant found = InStr(c, a);
  if (found.IsNull() || found.AsLong() == 0) return found;
  return Variant(2 * (found.AsLong() - 1) + 1);
}

// Escape leaves letters, digits and @*_+-./ as they are; other characters below 256 become
// %XX and the rest %uXXXX.
Variant Escape(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  static const StringView kPlain = u"@*_+-./";
  auto plain = [](char16_t c) {
    const bool alnum = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    return alnum || kPlain.find(c) != StringView::npos;
  };
  const String text = ToString(a[0]);
  size_t size = 0;
  for (char16_t c : text) size += plain(c) ? 1 : c < 256 ? 3 : 6;
  RequireMemory(TextBytes(size));
  String out;
  out.reserve(size);
  for (char16_t c : text) {
    if (plain(c)) {
      out.push_back(c);
      continue;
    }
    char buffer[8];
    if (c < 256) std::snprintf(buffer, sizeof buffer, "%%%02X", static_cast<unsigned>(c));
    else std::snprintf(buffer, sizeof buffer, "%%u%04X", static_cast<unsigned>(c));
    out += Ascii(buffer);
  }
  return Variant(std::move(out));
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

Variant Unescape(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  const String s = ToString(a[0]);
  String out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'%') {
      auto hexRun = [&](size_t at, size_t n, int& value) {
        if (at + n > s.size()) return false;
        value = 0;
        for (size_t k = 0; k < n; ++k) {
          const int d = HexDigit(s[at + k]);
          if (d < 0) return false;
          value = value * 16 + d;
        }
        return true;
      };
      int value = 0;
      if (i + 1 < s.size() && s[i + 1] == u'u' && hexRun(i + 2, 4, value)) {
        out.push_back(static_cast<char16_t>(value));
        i += 5;
        continue;
      }
      if (hexRun(i + 1, 2, value)) {
        out.push_back(static_cast<char16_t>(value));
        i += 2;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return Variant(out);
}

const Builtin kBuiltins[] = {
    {u"Len", 1, 1, Len},           {u"LenB", 1, 1, LenB},         {u"Left", 2, 2, Left},
    {u"Right", 2, 2, Right},       {u"Mid", 2, 3, Mid},           {u"InStr", 2, 4, InStr},
    {u"InStrRev", 2, 4, InStrRev}, {u"LCase", 1, 1, LCase},       {u"UCase", 1, 1, UCase},
    {u"LTrim", 1, 1, LTrim},       {u"RTrim", 1, 1, RTrim},       {u"Trim", 1, 1, Trim},
    {u"Space", 1, 1, Space},       {u"String", 2, 2, StringFn},   {u"StrComp", 2, 3, StrComp},
    {u"StrReverse", 1, 1, StrReverse}, {u"Replace", 3, 6, Replace}, {u"Split", 1, 4, Split},
    {u"Join", 1, 2, Join},         {u"Filter", 2, 4, Filter},     {u"Escape", 1, 1, Escape},
    {u"Unescape", 1, 1, Unescape}, {u"LeftB", 2, 2, LeftB},       {u"RightB", 2, 2, RightB},
    {u"MidB", 2, 3, MidB},         {u"InStrB", 2, 4, InStrB},
};

}  // namespace

std::span<const Builtin> StringBuiltins() { return kBuiltins; }

}  // namespace brevalcore::script::library
