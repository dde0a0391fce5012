// The RegExp class with its Match, Matches and SubMatches objects. Patterns are the
// JScript/ECMAScript dialect, run by PCRE2 on the UTF-16 text itself, so FirstIndex and Length
// count UTF-16 units as the platform's do. PCRE2 keeps its backtracking on the heap and counts
// its steps: a match runs in slices of steps sized to the run's remaining time, so a
// catastrophic pattern ends with the run's time-out, and its heap is bounded by what the
// script may still allocate.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <chrono>

#include "platform/automation/dispatch.h"
#include "platform/automation/memory.h"
#include "platform/script/library/library.h"
#include "platform/script/limits.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

// The first slice of a match, in PCRE2's steps: a few milliseconds, so ordinary patterns never
// come back for a second one.
constexpr uint32_t kFirstSlice = 1u << 20;
// Outside a script run (a host calling the object) a match may take this many steps in all.
constexpr uint64_t kStepsWithoutRun = uint64_t{1} << 32;
// Backtracking heap allowed when no memory budget is active, and the share of a frame in it.
constexpr size_t kHeapWithoutBudget = size_t{256} << 20;
constexpr size_t kBytesPerDepth = 128;

PCRE2_SPTR16 Units(StringView s) { return reinterpret_cast<PCRE2_SPTR16>(s.data()); }

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

// Rewrites the places where the script dialect reads differently from PCRE2: a brace that
// does not start a quantifier is a literal, and so is a closing brace on its own; a "]"
// right after "[" or "[^" is a literal member of the class.
String Translate(StringView pattern) {
  String out;
  bool inClass = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'\\' && i + 1 < pattern.size()) {
      out.push_back(u'\\');
      out.push_back(pattern[++i]);
      continue;
    }
    if (inClass) {
      if (c == u']') inClass = false;
      out.push_back(c);
      continue;
    }
    if (c == u'[') {
      inClass = true;
      out.push_back(u'[');
      if (i + 1 < pattern.size() && pattern[i + 1] == u'^') out.push_back(u'^'), ++i;
      if (i + 1 < pattern.size() && pattern[i + 1] == u']') out += u"\\]", ++i;  // "[]a]"
      continue;
    }
    if (c == u'{' && !IsQuantifierBrace(pattern, i)) {
      out += u"\\{";
      continue;
    }
    if (c == u'{') {
      const size_t close = pattern.find(u'}', i);
      for (; i <= close; ++i) out.push_back(pattern[i]);
      --i;
      continue;
    }
    if (c == u'}') {
      out += u"\\}";
      continue;
    }
    out.push_back(c);
  }
  return out;
}

// A compiled pattern with its match data and match context.
class CompiledPattern {
 public:
  CompiledPattern(StringView pattern, bool ignoreCase, bool multiline) {
    const String translated = Translate(pattern);
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);  // "." and the anchors know \r and \n
    pcre2_set_compile_extra_options(context, PCRE2_EXTRA_BAD_ESCAPE_IS_LITERAL);
    uint32_t options = PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_DOLLAR_ENDONLY;
    if (ignoreCase) options |= PCRE2_CASELESS;
    if (multiline) options |= PCRE2_MULTILINE;
    int error = 0;
    PCRE2_SIZE offset = 0;
    // UTF mode folds the case of every letter; text with lone surrogates still matches.
    code_ = pcre2_compile(Units(translated), translated.size(), options | PCRE2_UTF | PCRE2_MATCH_INVALID_UTF, &error,
                          &offset, context);
    if (!code_) code_ = pcre2_compile(Units(translated), translated.size(), options, &error, &offset, context);
    else utf_ = true;
    pcre2_compile_context_free(context);
    if (!code_) Raise(err::kUnexpectedQuantifier);  // 5017, "Syntax error in regular expression"
    pcre2_pattern_info(code_, PCRE2_INFO_CAPTURECOUNT, &groups_);
    data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    context_ = pcre2_match_context_create(nullptr);
    if (!data_ || !context_) Raise(err::kOutOfMemory);
  }
  ~CompiledPattern() {
    pcre2_match_context_free(context_);
    pcre2_match_data_free(data_);
    pcre2_code_free(code_);
  }
  CompiledPattern(const CompiledPattern&) = delete;
  CompiledPattern& operator=(const CompiledPattern&) = delete;

  // Matches at or after `start`; false when there is no match. The time-out, the host's stop
  // and the memory budget end it with their errors.
  bool Match(StringView text, size_t start, uint32_t options) {
    LimitHeap();
    RunLimits* run = RunLimits::Active();
    uint64_t slice = kFirstSlice;
    uint64_t spent = 0;
    for (;;) {
      pcre2_set_match_limit(context_, static_cast<uint32_t>(std::min<uint64_t>(slice, UINT32_MAX)));
      const auto began = std::chrono::steady_clock::now();
      const int rc = pcre2_match(code_, Units(text), text.size(), start, options, data_, context_);
      if (rc >= 0) return true;
      if (rc == PCRE2_ERROR_NOMATCH) return false;
      if (rc == PCRE2_ERROR_HEAPLIMIT) Raise(err::kOutOfMemory);
      if (rc == PCRE2_ERROR_DEPTHLIMIT) Raise(err::kOutOfStackSpace);
      if (rc != PCRE2_ERROR_MATCHLIMIT) Raise(err::kUnexpectedQuantifier);
      spent += slice;
      slice = NextSlice(run, slice, spent, std::chrono::steady_clock::now() - began);
    }
  }

  const PCRE2_SIZE* ovector() const { return pcre2_get_ovector_pointer(data_); }
  uint32_t groups() const { return groups_; }
  bool utf() const { return utf_; }

 private:
  // After a slice ran out: the run's time-out and stop end the match; otherwise the next
  // slice doubles, but never past the steps that fit in the time the run has left, at the
  // rate this pattern just showed. Restarting costs at most the work done so far.
  static uint64_t NextSlice(RunLimits* run, uint64_t slice, uint64_t spent, std::chrono::steady_clock::duration took) {
    if (!run) {
      if (spent >= kStepsWithoutRun) Raise(kTimeoutError);
      return slice * 2;
    }
    run->Poll();
    const double seconds = std::chrono::duration<double>(took).count();
    const double left = std::chrono::duration<double>(run->deadline() - std::chrono::steady_clock::now()).count();
    uint64_t next = slice * 2;
    if (seconds > 0 && left > 0) next = std::min<uint64_t>(next, static_cast<uint64_t>(static_cast<double>(slice) / seconds * left) + 1);
    return std::max<uint64_t>(next, kFirstSlice);
  }

  void LimitHeap() {
    size_t heap = kHeapWithoutBudget;
    if (MemoryBudget* budget = MemoryBudget::Active()) heap = budget->Available();
    const size_t kib = std::max<size_t>(heap >> 10, 64);
    pcre2_set_heap_limit(context_, static_cast<uint32_t>(std::min<size_t>(kib, UINT32_MAX)));
    pcre2_set_depth_limit(context_, static_cast<uint32_t>(std::min<size_t>((kib << 10) / kBytesPerDepth, UINT32_MAX)));
  }

  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
  pcre2_match_context* context_ = nullptr;
  uint32_t groups_ = 0;
  bool utf_ = false;
};

// One match's text and groups, as offsets into the searched text.
struct Found {
  StringView text;
  const PCRE2_SIZE* ovector;
  uint32_t groups;
  size_t begin() const { return ovector[0]; }
  size_t end() const { return ovector[1]; }
  StringView Value() const { return text.substr(begin(), end() - begin()); }
  bool Matched(uint32_t g) const { return ovector[2 * g] != PCRE2_UNSET; }
  StringView Group(uint32_t g) const { return text.substr(ovector[2 * g], ovector[2 * g + 1] - ovector[2 * g]); }
};

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

  bool Test(const String& source) { return Compiled().Match(source, 0, 0); }

  Variant Execute(const String& source) {
    std::vector<Variant> found;
    ForEachMatch(source, [&](const Found& m) {
      std::vector<Variant> groups;
      for (uint32_t g = 1; g <= m.groups; ++g) groups.push_back(m.Matched(g) ? Variant(String(m.Group(g))) : Variant());
      found.emplace_back(MakeRef<Match>(String(m.Value()), static_cast<int32_t>(m.begin()), std::move(groups)));
    });
    return Variant(MakeRef<Matches>(std::move(found)));
  }

  // Replace(source, replacement): $1..$99, $& the match, $` and $' the text before and after
  // it, $$ a dollar sign.
  String Replace(const String& source, const String& replacement) {
    String out;
    size_t last = 0;
    ForEachMatch(source, [&](const Found& m) {
      out += StringView(source).substr(last, m.begin() - last);
      Expand(replacement, m, out);
      last = m.end();
    });
    out += StringView(source).substr(last);
    return out;
  }

 private:
  CompiledPattern& Compiled() {
    if (!compiled_) compiled_ = std::make_unique<CompiledPattern>(pattern_, ignoreCase_, multiline_);
    return *compiled_;
  }

  // Visits the first match, or every one when Global. After an empty match the next search
  // first asks for a non-empty one at the same place, then moves on one unit, as the
  // platform's engine does.
  template <class F>
  void ForEachMatch(StringView text, F&& visit) {
    CompiledPattern& re = Compiled();
    size_t start = 0;
    uint32_t options = 0;
    while (start <= text.size()) {
      if (!re.Match(text, start, options)) {
        if (options == 0) break;
        start = NextUnit(text, start, re.utf());
        options = 0;
        continue;
      }
      const Found m{text, re.ovector(), re.groups()};
      visit(m);
      if (!global_) break;
      options = m.begin() == m.end() ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
      start = m.end();
      PollActiveRun();
    }
  }

  // The next place a search may start: a surrogate pair is one character to PCRE2's UTF mode.
  static size_t NextUnit(StringView text, size_t at, bool utf) {
    if (utf && at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF)
      return at + 2;
    return at + 1;
  }

  static void Expand(const String& replacement, const Found& m, String& out) {
    for (size_t i = 0; i < replacement.size(); ++i) {
      const char16_t c = replacement[i];
      if (c != u'$' || i + 1 == replacement.size()) {
        out.push_back(c);
        continue;
      }
      const char16_t next = replacement[i + 1];
      if (next == u'$') { out.push_back(u'$'); ++i; continue; }
      if (next == u'&') { out += m.Value(); ++i; continue; }
      if (next == u'`') { out += m.text.substr(0, m.begin()); ++i; continue; }
      if (next == u'\'') {
        out += m.text.substr(m.end());
        ++i;
        continue;
      }
      if (next >= u'0' && next <= u'9') {
        // Two digits when that names an existing group, else one.
        uint32_t group = next - u'0';
        size_t used = 1;
        if (i + 2 < replacement.size() && replacement[i + 2] >= u'0' && replacement[i + 2] <= u'9') {
          const uint32_t two = group * 10 + (replacement[i + 2] - u'0');
          if (two >= 1 && two <= m.groups) group = two, used = 2;
        }
        if (group >= 1 && group <= m.groups) {
          if (m.Matched(group)) out += m.Group(group);
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
  std::unique_ptr<CompiledPattern> compiled_;
};

}  // namespace

Ref<Object> NewRegExp() { return MakeRef<RegExp>(); }

}  // namespace brevalcore::script::library
