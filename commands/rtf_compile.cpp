#include "commands/rtf_compile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "platform/automation/convert.h"

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

// One tag found by the scan: [begin, end) in the text, and its name.
struct Tag {
  size_t begin = 0;
  size_t end = 0;
};

// Finds the next tag at or after `from`: an opening separator and the next separator after
// it. A separator without a closing one is plain text.
bool NextTag(StringView text, StringView sep, size_t from, Tag& tag) {
  const size_t open = text.find(sep, from);
  if (open == StringView::npos) return false;
  const size_t close = text.find(sep, open + sep.size());
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
  std::unordered_map<String, String> resolved;  // tag text -> value put in its place
  result.text.reserve(text.size());
  size_t pos = 0;
  Tag tag;
  while (NextTag(text, sep, pos, tag)) {
    result.text.append(text.substr(pos, tag.begin - pos));
    const StringView tagText = text.substr(tag.begin, tag.end - tag.begin);
    auto it = resolved.find(String(tagText));
    if (it == resolved.end()) {
      const String name = NameOf(tagText, sep);
      String value = GetVariable(name);
      value = value != kVariableError ? RtfEscape(value) : RaiseVariableReplace(name);
      it = resolved.emplace(String(tagText), std::move(value)).first;
    }
    result.text.append(it->second);
    pos = tag.end;
  }
  result.text.append(text.substr(pos));

  // The check pass reads the finished text as it stands: whatever still looks like a tag and
  // names no variable is reported.
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
  const std::string inPath = automation::ToUtf8(in);
  const std::string outPath = automation::ToUtf8(out);
  struct stat st {};
  if (::stat(inPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    throw AutomationError(rtf_err::kFileNotFound, kRtfCompileSource, u"File Not Found");

  std::ifstream input(inPath, std::ios::binary);
  if (!input) automation::Raise(automation::err::kPermissionDenied);
  const std::string bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  if (input.bad()) automation::Raise(automation::err::kDeviceIoError);

  Compiled compiled = Compile(automation::FromCp1252(bytes));

  // A read-only output file is refused even where the folder would let it be deleted.
  if (::lstat(outPath.c_str(), &st) == 0) {
    const bool readOnly = S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (readOnly || ::unlink(outPath.c_str()) != 0)
      throw AutomationError(rtf_err::kOutputReadOnly, kRtfCompileSource, u"Output file is read-only.");
  }
  std::ofstream output(outPath, std::ios::binary | std::ios::trunc);
  if (!output) automation::Raise(automation::err::kPathNotFound);
  const std::string outBytes = automation::ToCp1252(compiled.text);
  output.write(outBytes.data(), static_cast<std::streamsize>(outBytes.size()));
  output.close();
  if (!output) automation::Raise(automation::err::kDeviceIoError);
  return std::move(compiled.unresolved);
}

}  // namespace brevalcore::commands
