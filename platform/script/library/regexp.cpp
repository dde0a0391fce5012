// The RegExp class with its Match, Matches and SubMatches objects. Patterns are the
// JScript/ECMAScript dialect; they run on std::wregex with one wchar_t per UTF-16 unit, so
// FirstIndex and Length count UTF-16 units as the platform's do.
#include <regex>

#include "platform/automation/dispatch.h"
#include "platform/script/library/library.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

std::wstring Wide(StringView s) { return std::wstring(s.begin(), s.end()); }
String Narrow(const std::wstring& s) {
  String out;
  out.reserve(s.size());
  for (wchar_t c : s) out.push_back(static_cast<char16_t>(c));
  return out;
}

bool IsQuantifierBrace(StringView p, size_t i) {
  // "{n}", "{n,}" or "{n,m}" starting at p[i].
  size_t j = i + 1;
  const size_t digits = j;
  while (j < p.size() && p[j] >= u'0' && p[j] <= u'9') ++j;
  if (j == digits) return false;
  if (j < p.size() && p[j] == u',') {
    ++j;
    while (j < p.size() && p[j] >= u'0' && p[j] <= u'9') ++j;
  }
  return j < p.size() && p[j] == u'}';
}

// Rewrites the places where the script dialect is looser than std::regex: a brace that does
// not start a quantifier is a literal, and so is a closing brace on its own.
std::wstring Translate(StringView pattern) {
  std::wstring out;
  bool inClass = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'\\' && i + 1 < pattern.size()) {
      out.push_back(L'\\');
      out.push_back(static_cast<wchar_t>(pattern[++i]));
      continue;
    }
    if (inClass) {
      if (c == u']') inClass = false;
      out.push_back(static_cast<wchar_t>(c));
      continue;
    }
    if (c == u'[') {
      inClass = true;
      out.push_back(L'[');
      if (i + 1 < pattern.size() && pattern[i + 1] == u'^') out.push_back(L'^'), ++i;
      if (i + 1 < pattern.size() && pattern[i + 1] == u']') out += L"\\]", ++i;  // "[]a]"
      continue;
    }
    if (c == u'{' && !IsQuantifierBrace(pattern, i)) {
      out += L"\\{";
      continue;
    }
    if (c == u'{') {
      const size_t close = pattern.find(u'}', i);
      for (; i <= close; ++i) out.push_back(static_cast<wchar_t>(pattern[i]));
      --i;
      continue;
    }
    if (c == u'}') {
      out += L"\\}";
      continue;
    }
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

class SubMatches : public DispatchObject<SubMatches> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<SubMatches>(u"ISubMatches")
                                      .Get<&SubMatches::Item>(u"Item")
                                      .Default()
                                      .Get<&SubMatches::Count>(u"Count")
                                      .Build();
    return info;
  }
  explicit SubMatches(std::vector<Variant> items) : items_(std::move(items)) {}
  Variant Item(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) InvalidArgument();
    return items_[static_cast<size_t>(index)];
  }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  Ref<Enumerator> NewEnum() override;
  const std::vector<Variant>& items() const { return items_; }

 private:
  std::vector<Variant> items_;
};

class VectorEnumerator : public Enumerator {
 public:
  explicit VectorEnumerator(std::vector<Variant> items) : items_(std::move(items)) {}
  bool Next(Variant& out) override {
    if (next_ >= items_.size()) return false;
    out = items_[next_++];
    return true;
  }

 private:
  std::vector<Variant> items_;
  size_t next_ = 0;
};

Ref<Enumerator> SubMatches::NewEnum() { return MakeRef<VectorEnumerator>(items_); }

class Match : public DispatchObject<Match> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Match>(u"IMatch2")
                                      .Get<&Match::Value>(u"Value")
                                      .Default()
                                      .Get<&Match::FirstIndex>(u"FirstIndex")
                                      .Get<&Match::Length>(u"Length")
                                      .Get<&Match::Groups>(u"SubMatches")
                                      .Build();
    return info;
  }
  Match(String value, int32_t firstIndex, std::vector<Variant> groups)
      : value_(std::move(value)), firstIndex_(firstIndex), groups_(MakeRef<SubMatches>(std::move(groups))) {}
  String Value() const { return value_; }
  int32_t FirstIndex() const { return firstIndex_; }
  int32_t Length() const { return static_cast<int32_t>(value_.size()); }
  Variant Groups() const { return Variant(groups_); }

 private:
  String value_;
  int32_t firstIndex_;
  Ref<SubMatches> groups_;
};

class Matches : public DispatchObject<Matches> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Matches>(u"IMatchCollection2")
                                      .Get<&Matches::Item>(u"Item")
                                      .Default()
                                      .Get<&Matches::Count>(u"Count")
                                      .Build();
    return info;
  }
  explicit Matches(std::vector<Variant> items) : items_(std::move(items)) {}
  Variant Item(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) InvalidArgument();
    return items_[static_cast<size_t>(index)];
  }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  Ref<Enumerator> NewEnum() override { return MakeRef<VectorEnumerator>(items_); }

 private:
  std::vector<Variant> items_;
};

class RegExp : public DispatchObject<RegExp> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<RegExp>(u"IRegExp2")
                                      .Property<&RegExp::Pattern, &RegExp::SetPattern>(u"Pattern")
                                      .Property<&RegExp::IgnoreCase, &RegExp::SetIgnoreCase>(u"IgnoreCase")
                                      .Property<&RegExp::Global, &RegExp::SetGlobal>(u"Global")
                                      .Property<&RegExp::Multiline, &RegExp::SetMultiline>(u"Multiline")
                                      .Method<&RegExp::Test>(u"Test")
                                      .Method<&RegExp::Execute>(u"Execute")
                                      .Method<&RegExp::Replace>(u"Replace")
                                      .Build();
    return info;
  }

  String Pattern() const { return pattern_; }
  void SetPattern(const String& p) { pattern_ = p; compiled_.reset(); }
  bool IgnoreCase() const { return ignoreCase_; }
  void SetIgnoreCase(bool v) { ignoreCase_ = v; compiled_.reset(); }
  bool Global() const { return global_; }
  void SetGlobal(bool v) { global_ = v; }
  bool Multiline() const { return multiline_; }
  void SetMultiline(bool v) { multiline_ = v; compiled_.reset(); }

  bool Test(const String& source) {
    const std::wstring text = Wide(source);
    return std::regex_search(text, Compiled());
  }

  Variant Execute(const String& source) {
    const std::wstring text = Wide(source);
    std::vector<Variant> found;
    ForEachMatch(text, [&](const std::wsmatch& m) {
      std::vector<Variant> groups;
      for (size_t g = 1; g < m.size(); ++g)
        groups.push_back(m[g].matched ? Variant(Narrow(m[g].str())) : Variant());
      found.emplace_back(MakeRef<Match>(Narrow(m.str()), static_cast<int32_t>(m.position()), std::move(groups)));
    });
    return Variant(MakeRef<Matches>(std::move(found)));
  }

  // Replace(source, replacement): $1..$99, $& the match, $` and $' the text before and after
  // it, $$ a dollar sign.
  String Replace(const String& source, const String& replacement) {
    const std::wstring text = Wide(source);
    String out;
    size_t last = 0;
    ForEachMatch(text, [&](const std::wsmatch& m) {
      const size_t at = static_cast<size_t>(m.position());
      out += StringView(source).substr(last, at - last);
      Expand(replacement, m, source, out);
      last = at + static_cast<size_t>(m.length());
    });
    out += StringView(source).substr(last);
    return out;
  }

 private:
  const std::wregex& Compiled() {
    if (!compiled_) {
      auto flags = std::regex::ECMAScript;
      if (ignoreCase_) flags |= std::regex::icase;
      if (multiline_) flags |= std::regex::multiline;
      try {
        compiled_ = std::make_unique<std::wregex>(Translate(pattern_), flags);
      } catch (const std::regex_error&) {
        Raise(err::kUnexpectedQuantifier);  // 5017, "Syntax error in regular expression"
      }
    }
    return *compiled_;
  }

  template <class F>
  void ForEachMatch(const std::wstring& text, F&& visit) {
    const std::wregex& re = Compiled();
    try {
      for (auto it = std::wsregex_iterator(text.begin(), text.end(), re); it != std::wsregex_iterator(); ++it) {
        visit(*it);
        if (!global_) break;
      }
    } catch (const std::regex_error&) {
      Raise(err::kUnexpectedQuantifier);  // a pattern too complex for the matcher
    }
  }

  static void Expand(const String& replacement, const std::wsmatch& m, const String& source, String& out) {
    for (size_t i = 0; i < replacement.size(); ++i) {
      const char16_t c = replacement[i];
      if (c != u'$' || i + 1 == replacement.size()) {
        out.push_back(c);
        continue;
      }
      const char16_t next = replacement[i + 1];
      if (next == u'$') { out.push_back(u'$'); ++i; continue; }
      if (next == u'&') { out += Narrow(m.str()); ++i; continue; }
      if (next == u'`') { out += StringView(source).substr(0, static_cast<size_t>(m.position())); ++i; continue; }
      if (next == u'\'') {
        out += StringView(source).substr(static_cast<size_t>(m.position() + m.length()));
        ++i;
        continue;
      }
      if (next >= u'0' && next <= u'9') {
        // Two digits when that names an existing group, else one.
        size_t group = next - u'0';
        size_t used = 1;
        if (i + 2 < replacement.size() && replacement[i + 2] >= u'0' && replacement[i + 2] <= u'9') {
          const size_t two = group * 10 + (replacement[i + 2] - u'0');
          if (two >= 1 && two < m.size()) group = two, used = 2;
        }
        if (group >= 1 && group < m.size()) {
          if (m[group].matched) out += Narrow(m[group].str());
          i += used;
          continue;
        }
      }
      out.push_back(c);
    }
  }

  String pattern_;
  bool ignoreCase_ = false;
  bool global_ = false;
  bool multiline_ = false;
  std::unique_ptr<std::wregex> compiled_;
};

}  // namespace

Ref<Object> NewRegExp() { return MakeRef<RegExp>(); }

}  // namespace brevalcore::script::library
