// brevalcore ini: reads and writes a profile (INI) file exactly as CIniFile does.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <iostream>
#include <iterator>
#include <string>

#include "storage/ini_class.h"
#include "storage/ini_file.h"
#include "tools/authoring/findings.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/cli.h"

namespace brevalcore::tools {
namespace {

using automation::FromUtf8;
using automation::String;

struct IniOptions {
  std::string file, section, key, value, text;
  bool json = false;
};

std::string Utf8(const String& text) { return automation::ToUtf8(text); }

// One value or name per line, control characters escaped; or the same as JSON.
void PrintTexts(const std::vector<std::string>& texts, bool json, bool asArray) {
  if (json) {
    std::string out = asArray ? "[" : "";
    for (size_t i = 0; i < texts.size(); ++i) out += (i ? ", " : "") + authoring::JsonString(texts[i]);
    std::printf("%s%s\n", out.c_str(), asArray ? "]" : "");
    return;
  }
  for (const std::string& text : texts) std::printf("%s\n", Printable(text).c_str());
}

// The entries of a section as the control gets them: each followed by one NUL.
std::vector<std::string> Entries(const String& section) {
  std::vector<std::string> entries;
  for (size_t start = 0; start < section.size();) {
    const size_t nul = std::min(section.find(u'\0', start), section.size());
    entries.push_back(Utf8(section.substr(start, nul - start)));
    start = nul + 1;
  }
  return entries;
}

// Lines of TEXT joined by CR LF whatever the shell or the editor gave (LF, CR), which the
// profile writer turns into the file's own line end; NUL-separated entries stay as they are.
String SectionText(const std::string& text) {
  String out;
  const String in = FromUtf8(text);
  for (size_t i = 0; i < in.size(); ++i) {
    const char16_t c = in[i];
    if (c == u'\r' && i + 1 < in.size() && in[i + 1] == u'\n') continue;
    if (c == u'\r' || c == u'\n') out += u"\r\n";
    else out += c;
  }
  return out;
}

int WriteFailed(const storage::IniWriteResult& result) { return Complain("ini", result.error(), kExitFailed); }

// A missing file reads as empty and is created by a write; anything else must be a regular
// file the tool can hold.
int Refused(const std::string& file) {
  if (auto refused = authoring::CheckInputFile(file, authoring::kMaxProfileFileBytes, /*mayBeMissing=*/true))
    return Complain("ini", file + ": " + *refused, kExitUsage);
  return kExitOk;
}

int RunIni(const std::string& verb, const IniOptions& o) {
  if (const int status = Refused(o.file)) return status;
  if (verb == "read") {
    PrintTexts({Utf8(storage::CIniFile::Shared()->ReadIni(FromUtf8(o.file), FromUtf8(o.section), FromUtf8(o.key)))},
               o.json, false);
  } else if (verb == "section") {
    PrintTexts(Entries(storage::CIniFile::Shared()->ReadIniSection(FromUtf8(o.file), FromUtf8(o.section))), o.json, true);
  } else if (verb == "sections") {
    std::vector<std::string> names;
    for (const String& name : storage::GetIniSections(o.file)) names.push_back(Utf8(name));
    PrintTexts(names, o.json, true);
  } else if (verb == "write") {
    if (auto r = storage::WriteIni(o.file, FromUtf8(o.section), FromUtf8(o.key), FromUtf8(o.value)); !r)
      return WriteFailed(r);
    Tell("ini", "wrote [" + o.section + "] " + o.key + " in " + o.file);
  } else if (verb == "write-section") {
    std::string text = o.text;
    if (text == "-") text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (auto r = storage::WriteIniSection(o.file, FromUtf8(o.section), SectionText(text)); !r) return WriteFailed(r);
    Tell("ini", "wrote section [" + o.section + "] of " + o.file);
  }
  return kExitOk;
}

std::string OperandHelp(const std::string& name) {
  if (name == "SECTION") return "the section name (letter case does not count)";
  if (name == "KEY") return "the key name (letter case does not count)";
  if (name == "VALUE") return "the text to write";
  return "the section's entries, one key=value per line, or '-' for standard input";
}

Runner DefineIni(CLI::App& app) {
  auto o = std::make_shared<IniOptions>();
  app.require_subcommand(1);
  struct Verb {
    const char* name;
    const char* summary;
    std::vector<std::pair<const char*, std::string IniOptions::*>> operands;
    bool prints;
  };
  const Verb verbs[] = {
      {"read", "print the value of KEY in SECTION (\"\" when missing)",
       {{"SECTION", &IniOptions::section}, {"KEY", &IniOptions::key}}, true},
      {"section", "print the entries of SECTION, one key=value per line", {{"SECTION", &IniOptions::section}}, true},
      {"sections", "print the section names, one per line", {}, true},
      {"write", "set KEY in SECTION to VALUE",
       {{"SECTION", &IniOptions::section}, {"KEY", &IniOptions::key}, {"VALUE", &IniOptions::value}}, false},
      {"write-section", "replace the entries of SECTION by TEXT ('-': standard input)",
       {{"SECTION", &IniOptions::section}, {"TEXT", &IniOptions::text}}, false},
  };
  std::vector<std::pair<const CLI::App*, std::string>> chosen;
  for (const Verb& verb : verbs) {
    CLI::App* sub = app.add_subcommand(verb.name, verb.summary);
    AddMannerOptions(*sub);
    sub->add_option("FILE", o->file, "the profile file (missing reads as empty)")->required();
    for (const auto& [name, field] : verb.operands) sub->add_option(name, (*o).*field, OperandHelp(name))->required();
    if (verb.prints) sub->add_flag("--json", o->json, "print a JSON string (read) or array of strings");
    chosen.emplace_back(sub, verb.name);
  }
  return [o, chosen]() -> int {
    for (const auto& [sub, name] : chosen)
      if (sub->parsed()) return RunIni(name, *o);
    return kExitUsage;
  };
}

const SubcommandRegistration kRegistration({
    "ini", "read and write a profile (INI) file as the control does",
    "Reads print the text as the control gets it, as text: a value on one line, a section's\n"
    "entries one per line, the section names one per line, control characters written as \\xNN.\n"
    "Writes print nothing. TEXT holds the section's key=value entries, one per line (LF, CR LF\n"
    "or CR) or separated by NUL bytes; '-' reads it from standard input; the lines are written\n"
    "with the file's own line end. Texts are UTF-8 on the command line and Windows-1252 in the\n"
    "file. FILE must be a regular file of at most 64 MB, or missing.\n",
    DefineIni});

}  // namespace
}  // namespace brevalcore::tools
