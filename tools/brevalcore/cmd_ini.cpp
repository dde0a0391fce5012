// brevalcore ini: reads and writes a profile (INI) file exactly as CIniFile does.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "storage/ini_class.h"
#include "storage/ini_file.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

using automation::FromUtf8;
using automation::String;

int RunIni(const std::vector<std::string>& args);

const Subcommand kIni{
    "ini",
    "read and write a profile (INI) file as the control does",
    "usage: brevalcore ini read FILE SECTION KEY\n"
    "       brevalcore ini section FILE SECTION\n"
    "       brevalcore ini sections FILE\n"
    "       brevalcore ini write FILE SECTION KEY VALUE\n"
    "       brevalcore ini write-section FILE SECTION TEXT\n"
    "\n"
    "Reads print the text exactly as the control gets it, with no newline added (a section's\n"
    "entries each end with a NUL byte); 'sections' prints one name per line. Writes print\n"
    "nothing. TEXT holds the section's key=value entries separated by NUL bytes or line breaks;\n"
    "'-' reads it from standard input. Texts are UTF-8 on the command line and Windows-1252 in\n"
    "the file. FILE must be a regular file of at most 64 MB, or missing.\n",
    RunIni};

const SubcommandRegistration kRegistration(kIni);

void Print(const String& text) {
  const std::string utf8 = automation::ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

int WriteFailed(const storage::IniWriteResult& result) {
  std::fprintf(stderr, "brevalcore ini: %s\n", result.error().c_str());
  return 1;
}

int RunIni(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError(kIni);
  const std::string& verb = args[0];
  const size_t n = args.size();
  // A missing file reads as empty and is created by a write; anything else must be a regular
  // file the tool can hold.
  if (n >= 2) {
    if (auto refused = authoring::CheckInputFile(args[1], authoring::kMaxProfileFileBytes, /*mayBeMissing=*/true)) {
      std::fprintf(stderr, "brevalcore ini: %s: %s\n", args[1].c_str(), refused->c_str());
      return 1;
    }
  }
  auto ini = storage::CIniFile::Shared();
  if (verb == "read" && n == 4) {
    Print(ini->ReadIni(FromUtf8(args[1]), FromUtf8(args[2]), FromUtf8(args[3])));
  } else if (verb == "section" && n == 3) {
    Print(ini->ReadIniSection(FromUtf8(args[1]), FromUtf8(args[2])));
  } else if (verb == "sections" && n == 2) {
    for (const String& name : storage::GetIniSections(args[1])) {
      Print(name);
      std::fputc('\n', stdout);
    }
  } else if (verb == "write" && n == 5) {
    if (auto r = storage::WriteIni(args[1], FromUtf8(args[2]), FromUtf8(args[3]), FromUtf8(args[4])); !r)
      return WriteFailed(r);
  } else if (verb == "write-section" && n == 4) {
    std::string text = args[3];
    if (text == "-") text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (auto r = storage::WriteIniSection(args[1], FromUtf8(args[2]), FromUtf8(text)); !r) return WriteFailed(r);
  } else {
    return UsageError(kIni, n == 0 ? std::string() : "bad arguments for '" + verb + "'");
  }
  return 0;
}

}  // namespace
}  // namespace brevalcore::tools
