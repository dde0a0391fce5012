// The string functions: lengths and slices, searching, case and trimming, Replace, Split,
// Join, Filter, StrComp, and Escape/Unescape.
#include <cstdio>

#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

// Texts where Null propagates: these functions answer Null for a Null text.
bool IsNullArg(Args a, size_t i) { return i < a.size() && Value(a, i).IsNull(); }

int32_t Count(Args a, size_t i) {
  if (IsNullArg(a, i)) Raise(err::kInvalidUseOfNull);
  const int32_t n = ToLong(a[i]);
  if (n < 0) InvalidArgument();
  return n;
}

// Position of `what` in `text` from `from` (0-based), or npos.
size_t Find(StringView text, StringView what, size_t from, CompareMode mode) {
  if (mode == CompareMode::Binary) return text.find(what, from);
  if (what.size() > text.size()) return StringView::npos;
  for (size_t i = from; i + what.size() <= text.size(); ++i)
    if (EqualsNoCase(text.substr(i, what.size()), what)) return i;
  return StringView::npos;
}

Variant Len(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  return Variant(static_cast<int32_t>(ToString(a[0]).size()));
}

Variant LenB(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  return Variant(static_cast<int32_t>(ToString(a[0]).size() * 2));
}

Variant Left(BuiltinContext&, Args a) {
  const int32_t n = Count(a, 1);
  if (IsNullArg(a, 0)) return Variant::Null();
  return Variant(ToString(a[0]).substr(0, static_cast<size_t>(n)));
}

Variant Right(BuiltinContext&, Args a) {
  const int32_t n = Count(a, 1);
  if (IsNullArg(a, 0)) return Variant::Null();
  const String s = ToString(a[0]);
  return Variant(s.substr(s.size() - std::min(s.size(), static_cast<size_t>(n))));
}

Variant Mid(BuiltinContext&, Args a) {
  if (IsNullArg(a, 1)) Raise(err::kInvalidUseOfNull);
  const int32_t start = ToLong(a[1]);
  if (start < 1) InvalidArgument();
  const int32_t length = Given(a, 2) ? Count(a, 2) : INT32_MAX;
  if (IsNullArg(a, 0)) return Variant::Null();
  const String s = ToString(a[0]);
  if (static_cast<size_t>(start) > s.size()) return Variant(String());
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
  const String text = ToString(a[first]), what = ToString(a[first + 1]);
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
  for (int64_t i = static_cast<int64_t>(start) - static_cast<int64_t>(what.size()); i >= 0; --i) {
    const StringView candidate = StringView(text).substr(static_cast<size_t>(i), what.size());
    if (mode == CompareMode::Binary ? candidate == what : EqualsNoCase(candidate, what))
      return Variant(static_cast<int32_t>(i + 1));
  }
  return Variant(int32_t{0});
}

Variant LCase(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  return Variant(ToLower(ToString(a[0])));
}

Variant UCase(BuiltinContext&, Args a) {
  if (IsNullArg(a, 0)) return Variant::Null();
  return Variant(ToUpper(ToString(a[0])));
}

// The Trim family removes spaces only, not tabs or line ends.
Variant TrimSides(Args a, bool left, bool right) {
  if (IsNullArg(a, 0)) return Variant::Null();
  const String s = ToString(a[0]);
  size_t begin = 0, end = s.size();
  if (left) while (begin < end && s[begin] == u' ') ++begin;
  if (right) while (end > begin && s[end - 1] == u' ') --end;
  return Variant(s.substr(begin, end - begin));
}

Variant LTrim(BuiltinContext&, Args a) { return TrimSides(a, true, false); }
Variant RTrim(BuiltinContext&, Args a) { return TrimSides(a, false, true); }
Variant Trim(BuiltinContext&, Args a) { return TrimSides(a, true, true); }

Variant Space(BuiltinContext&, Args a) { return Variant(String(static_cast<size_t>(Count(a, 0)), u' ')); }

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
  return Variant(String(static_cast<size_t>(n), ch));
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
  const String text = ToString(a[0]), find = ToString(a[1]), with = ToString(a[2]);
  if (static_cast<size_t>(start) > text.size()) return Variant(String());
  const StringView rest = StringView(text).substr(static_cast<size_t>(start - 1));
  if (find.empty() || count == 0) return Variant(String(rest));
  String out;
  size_t pos = 0;
  int32_t done = 0;
  while (count == -1 || done < count) {
    const size_t at = Find(rest, find, pos, mode);
    if (at == StringView::npos) break;
    out.append(rest.substr(pos, at - pos));
    out.append(with);
    pos = at + find.size();
    ++done;
  }
  out.append(rest.substr(pos));
  return Variant(out);
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
      size_t pos = 0;
      for (;;) {
        if (limit != -1 && static_cast<int32_t>(parts.size()) == limit - 1) break;
        const size_t at = Find(text, delimiter, pos, mode);
        if (at == StringView::npos) break;
        parts.emplace_back(text.substr(pos, at - pos));
        pos = at + delimiter.size();
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
  String out;
  for (size_t i = 0; i < array.size(); ++i) {
    if (i) out += delimiter;
    out += ToString(array[i]);
  }
  return Variant(out);
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
  String out;
  for (char16_t c : ToString(a[0])) {
    const bool alnum = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    if (alnum || kPlain.find(c) != StringView::npos) {
      out.push_back(c);
      continue;
    }
    char buffer[8];
    if (c < 256) std::snprintf(buffer, sizeof buffer, "%%%02X", static_cast<unsigned>(c));
    else std::snprintf(buffer, sizeof buffer, "%%u%04X", static_cast<unsigned>(c));
    out += Ascii(buffer);
  }
  return Variant(out);
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
