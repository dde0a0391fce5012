// brevalcore check PATH: what in a banner package would fail on a doctor's screen, found with
// the control's own code (see tools/authoring/check.h).
#include <cstdio>

#include "tools/authoring/check.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

int RunCheck(const std::vector<std::string>& args);

const Subcommand kCheck{
    "check", "check a banner package (folder or BVCRES.DLL), a script, a page or a template",
    "usage: brevalcore check PATH [--json] [--werror]\n"
    "PATH is a package folder, a resource library (BVCRES.DLL), or a single script (.script,\n"
    ".vbs), page (.html) or RTF template (.rtf), checked against the files of its folder.\n"
    "The checker applies the control's own code: the script read in Windows-1252 and bound to\n"
    "the real rule objects, pages parsed and their links read as a press reads them, names\n"
    "looked up with the platform's rules (letter case does not count).\n"
    "Each finding is printed as FILE:LINE:COL: error|warning: MESSAGE [code], sorted by file\n"
    "and position (0:0 is the file as a whole; FILE is relative to the package folder), then\n"
    "a summary 'N errors, M warnings in K files'.\n"
    "  --json     print the findings as a JSON array of {file, line, column, severity, code,\n"
    "             message} instead (no summary)\n"
    "  --werror   count warnings as errors\n"
    "Scripts, pages and templates larger than 16 MB, binary files, and anything that is not a\n"
    "regular file or folder cannot be checked.\n"
    "Exit status: 0 no errors (warnings allowed), 1 errors, 2 unusable input.\n",
    RunCheck};
SubcommandRegistration registration(kCheck);

int RunCheck(const std::vector<std::string>& args) {
  std::string path;
  bool json = false, werror = false;
  for (const std::string& a : args) {
    if (a == "--json") json = true;
    else if (a == "--werror") werror = true;
    else if (!a.empty() && a[0] == '-') return UsageError(kCheck, "unknown option " + a);
    else if (path.empty()) path = a;
    else return UsageError(kCheck, "one PATH only");
  }
  if (path.empty()) return UsageError(kCheck, "missing PATH");
  const authoring::CheckResult result = authoring::CheckPath(path);
  if (json) {
    std::fputs(authoring::FormatFindingsJson(result.findings).c_str(), stdout);
  } else {
    std::fputs(authoring::FormatFindings(result.findings).c_str(), stdout);
    std::fputs(authoring::FormatSummary(result.findings, result.filesChecked).c_str(), stdout);
  }
  return authoring::CheckExitStatus(result, werror);
}

}  // namespace
}  // namespace brevalcore::tools
