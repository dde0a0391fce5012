#include "commands/rtf_compile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#if defined(__x86_64__)
#include <immintrin.h>
#define BREVALCORE_SCAN_AVX2 1
#endif

#include "platform/automation/convert.h"
#include "storage/folder.h"

namespace brevalcore::commands {

using automation::AutomationError;

const automation::ClassInfo& RtfCompile::Class() {
  static const automation::ClassInfo info =
      automation::ClassBuilder<RtfCompile>(u"RtfCompile")
          .Property<&RtfCompile::SepTag, &RtfCompile::SetSepTag>(u"SepTag")
          .Get<&RtfCompile::VariableCount>(u"VariableCount")
          .Method<&RtfCompile::VariableClear>(u"VariableClear")
          .Method<&RtfCompile::VariableAdd>(u"VariableAdd")
          .Method<&RtfCompile::FileCompile>(u"FileCompile")
          .Method<&RtfCompile::StringCompile>(u"StringCompile")
          .Event(u"VariableReplace", 1, {u"VariableName", u"VariableValue"})
          .Build();
  return info;
}

void RtfCompile::VariableAdd(const String& name, const String& value) {
  const auto [it, added] = vars_.emplace(automation::ToUpper(name), value);
  if (!added)
    throw AutomationError(automation::err::kDuplicateKey, kRtfCompileSource,
                          automation::Ascii(automation::ErrorText(automation::err::kDuplicateKey)));
}

String RtfCompile::GetVariable(StringView name) const {
  const auto it = vars_.find(automation::ToUpper(name));
  return it == vars_.end() ? String(kVariableError) : it->second;
}

String RtfCompile::RaiseVariableReplace(StringView name) {
  const automation::EventInfo* event = Class().Event(u"VariableReplace");
  Variant args[2] = {Variant(String(name)), Variant(String())};
  events_.Raise(*event, args);
  return automation::ToString(args[1]);
}

String RtfCompile::RtfEscape(StringView text) {
  String out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      out += u"\\par ";
      ++i;
    } else if (text[i] == u'\t') {
      out += u"\\tab ";
    } else {
      out += text[i];
    }
  }
  return out;
}

namespace {

constexpr size_t kOutputSlack = 256;

// "folder/name" into its folder ("." when there is none) and its last component.
std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

// Lets the tag cache be searched with a view of the template, without copying the tag.
struct ViewHash {
  using is_transparent = void;
  size_t operator()(StringView v) const noexcept { return std::hash<StringView>{}(v); }
};

// One tag found by the scan: [begin, end) in the text, and its name.
struct Tag {
  size_t begin = 0;
  size_t end = 0;
};

// The scan for separators is where compiling spends its time: templates are large and tags
// rare. Where the processor allows, positions are tested 32 at a time against the separator's
// first two characters at once, so a lone "?" in the text costs nothing extra. Gives the
// first candidate position at or after `i` (every real match is a candidate), or `limit`.
#if defined(BREVALCORE_SCAN_AVX2)
__attribute__((target("avx2"))) size_t SkipToPairAvx2(const char16_t* p, size_t i, size_t n, char16_t c0,
                                                      char16_t c1) {
  const __m256i first = _mm256_set1_epi16(static_cast<short>(c0));
  const __m256i second = _mm256_set1_epi16(static_cast<short>(c1));
  for (; i + 33 <= n; i += 32) {
    const auto* q = reinterpret_cast<const __m256i*>(p + i);
    const auto* r = reinterpret_cast<const __m256i*>(p + i + 1);
    const __m256i lo = _mm256_and_si256(_mm256_cmpeq_epi16(_mm256_loadu_si256(q), first),
                                        _mm256_cmpeq_epi16(_mm256_loadu_si256(r), second));
    const __m256i hi = _mm256_and_si256(_mm256_cmpeq_epi16(_mm256_loadu_si256(q + 1), first),
                                        _mm256_cmpeq_epi16(_mm256_loadu_si256(r + 1), second));
    if (_mm256_movemask_epi8(_mm256_or_si256(lo, hi)) == 0) continue;
    const uint32_t loMask = static_cast<uint32_t>(_mm256_movemask_epi8(lo));
    if (loMask != 0) return i + (static_cast<size_t>(__builtin_ctz(loMask)) >> 1);
    return i + 16 + (static_cast<size_t>(__builtin_ctz(static_cast<uint32_t>(_mm256_movemask_epi8(hi)))) >> 1);
  }
  return i;  // the tail is left to the plain loop
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

// The first position at or after `from` where `sep` starts, or npos.
size_t FindSeparator(StringView text, StringView sep, size_t from) {
  const size_t n = text.size();
  if (sep.size() > n) return StringView::npos;
  const size_t last = n - sep.size();  // the last position a separator can start at
  const char16_t* p = text.data();
  size_t i = from;
  while (i <= last) {
#if defined(BREVALCORE_SCAN_AVX2)
    if (sep.size() >= 2 && HasAvx2()) i = SkipToPairAvx2(p, i, n, sep[0], sep[1]);
#endif
    const size_t stop = std::min(last, i + 32);  // back to the fast scan after a false start
    for (; i <= stop; ++i)
      if (p[i] == sep[0] && text.compare(i, sep.size(), sep) == 0) return i;
  }
  return StringView::npos;
}

// Finds the next tag at or after `from`: an opening separator and the next separator after
// it. A separator without a closing one is plain text.
bool NextTag(StringView text, StringView sep, size_t from, Tag& tag) {
  const size_t open = FindSeparator(text, sep, from);
  if (open == StringView::npos) return false;
  const size_t close = FindSeparator(text, sep, open + sep.size());
  if (close == StringView::npos) return false;
  tag = {open, close + sep.size()};
  return true;
}

String NameOf(StringView tag, StringView sep) {
  String name;
  size_t start = 0;
  for (;;) {
    const size_t at = tag.find(sep, start);
    if (at == StringView::npos) break;
    name.append(tag.substr(start, at - start));
    start = at + sep.size();
  }
  name.append(tag.substr(start));
  return name;
}

}  // namespace

// The substitution pass walks the template once, left to right, and copies each tag's value
// into a separate output. Values are never scanned again, so a value holding the separator
// cannot start a new tag and the pass always ends; a tag repeated later gets the value its
// first occurrence got, without asking again.
RtfCompile::Compiled RtfCompile::Compile(StringView text) {
  Compiled result;
  const StringView sep = sepTag_;
  if (sep.empty()) {
    result.text = String(text);
    return result;
  }
  struct Value {
    String text;
    bool mayFormTags;  // empty, or holding a character of the separator
  };
  std::unordered_map<String, Value, ViewHash, std::equal_to<>> resolved;  // tag text -> its value
  // Values are usually longer than their tags; growing the output would copy it all again.
  result.text.reserve(text.size() + text.size() / 4 + kOutputSlack);
  // Between tags the text holds no separator, and after the last tag at most one lone
  // separator. So the finished text can hold a tag only where a value brought a character of
  // the separator, or where an empty value joined two pieces of text.
  bool mayHoldTags = false;
  size_t pos = 0;
  Tag tag;
  while (NextTag(text, sep, pos, tag)) {
    result.text.append(text.substr(pos, tag.begin - pos));
    const StringView tagText = text.substr(tag.begin, tag.end - tag.begin);
    auto it = resolved.find(tagText);
    if (it == resolved.end()) {
      const String name = NameOf(tagText, sep);
      String value = GetVariable(name);
      value = value != kVariableError ? RtfEscape(value) : RaiseVariableReplace(name);
      const bool mayFormTags = value.empty() || value.find_first_of(sep) != String::npos;
      it = resolved.emplace(String(tagText), Value{std::move(value), mayFormTags}).first;
    }
    mayHoldTags = mayHoldTags || it->second.mayFormTags;
    result.text.append(it->second.text);
    pos = tag.end;
  }
  result.text.append(text.substr(pos));

  // The check pass reads the finished text as it stands: whatever still looks like a tag and
  // names no variable is reported.
  if (!mayHoldTags) return result;
  const StringView done = result.text;
  pos = 0;
  while (NextTag(done, sep, pos, tag)) {
    const StringView tagText = done.substr(tag.begin, tag.end - tag.begin);
    if (GetVariable(NameOf(tagText, sep)) == kVariableError) {
      result.unresolved.append(tagText);
      result.unresolved += u"\r\n";
    }
    pos = tag.end;
  }
  return result;
}

String RtfCompile::StringCompile(const Variant& in, Variant& out) {
  Compiled compiled = Compile(automation::ToString(in));
  out = Variant(std::move(compiled.text));
  return std::move(compiled.unresolved);
}

String RtfCompile::FileCompile(const String& in, const String& out) {
  // Both files are reached relative to their folder's descriptor and never through a link:
  // a template that is a link, a FIFO or a device is no plain file ("File Not Found"), and
  // the output is created anew in a folder that is not itself a link, whatever stood at its
  // name before.
  const auto [inFolder, inName] = SplitFolder(automation::ToUtf8(in));
  const storage::Folder source(inFolder, storage::Folder::Link::kFollow);
  int error = 0;
  const auto bytes = storage::ReadPlainFile(source, inName, error);
  if (!bytes) {
    if (error == ENOENT || error == ENOTDIR || error == ELOOP || error == EINVAL || inName.empty())
      throw AutomationError(rtf_err::kFileNotFound, kRtfCompileSource, u"File Not Found");
    automation::Raise(error == EACCES ? automation::err::kPermissionDenied : automation::err::kDeviceIoError);
  }

  Compiled compiled = Compile(automation::FromCp1252(*bytes));

  const auto [outFolder, outName] = SplitFolder(automation::ToUtf8(out));
  const storage::Folder target(outFolder);
  if (!target.ok()) automation::Raise(target.error() == ELOOP ? automation::err::kPathFileAccessError
                                                              : automation::err::kPathNotFound);
  // A read-only output file is refused even where the folder would let it be deleted.
  struct stat st {};
  if (target.Stat(outName, st)) {
    const bool readOnly = S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (readOnly || !target.Remove(outName))
      throw AutomationError(rtf_err::kOutputReadOnly, kRtfCompileSource, u"Output file is read-only.");
  }
  storage::UniqueFd output = target.CreateNewFile(outName, 0666, error);
  if (!output)
    automation::Raise(error == EEXIST ? automation::err::kFileAlreadyExists : automation::err::kPathNotFound);
  const std::string outBytes = automation::ToCp1252(compiled.text);
  if (storage::WriteAll(output.get(), outBytes.data(), outBytes.size()) != 0 || ::close(output.release()) != 0)
    automation::Raise(automation::err::kDeviceIoError);
  return std::move(compiled.unresolved);
}

}  // namespace brevalcore::commands
