// brevalcore check PATH: what in a banner package would fail on a doctor's screen, found with
// the control's own code (see tools/authoring/check.h).
#include <cstdio>
#include <memory>

#include "tools/authoring/check.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/progress_bar.h"

namespace brevalcore::tools {
namespace {

struct CheckOptions {
  std::string path;
  bool json = false;
  bool werror = false;
};

int RunCheck(const CheckOptions& o) {
  Tell("check", "checking " + o.path);
  ProgressBar bar("check");
  const authoring::CheckResult result =
      authoring::CheckPath(o.path, [&](size_t done, size_t total) { bar.Update(done, total); });
  bar.Finish();
  // Findings name files and quote their text: printed with line breaks kept, nothing else raw.
  if (o.json) {
    std::fputs(authoring::FormatFindingsJson(result.findings).c_str(), stdout);
  } else {
    std::fputs(Printable(authoring::FormatFindings(result.findings), true).c_str(), stdout);
    if (!Manners().quiet && !result.unusable)
      std::fputs(Printable(authoring::FormatSummary(result.findings, result.filesChecked), true).c_str(), stdout);
  }
  return authoring::CheckExitStatus(result, o.werror);
}

Runner DefineCheck(CLI::App& app) {
  auto o = std::make_shared<CheckOptions>();
  app.add_option("PATH", o->path, "a package folder, a BVCRES.DLL, a script, a page or an RTF template")
      ->required();
  app.add_flag("--json", o->json, "print the findings as a JSON array of {file, line, column, severity, code, message}");
  app.add_flag("--werror", o->werror, "count warnings as errors");
  return [o] { return RunCheck(*o); };
}

const SubcommandRegistration registration({
    "check", "check a banner package (folder or BVCRES.DLL), a script, a page or a template",
    "PATH is a package folder, a resource library (BVCRES.DLL), or a single script (.script,\n"
    ".vbs), page (.html) or RTF template (.rtf), checked against the files of its folder.\n"
    "The checker applies the control's own code: the script read in Windows-1252 and bound to\n"
    "the real rule objects, pages parsed and their links read as a press reads them, names\n"
    "looked up with the platform's rules (letter case does not count).\n"
    "Each finding is printed as FILE:LINE:COL: error|warning: MESSAGE [code], sorted by file\n"
    "and position (0:0 is the file as a whole; FILE is relative to the package folder), then\n"
    "a summary 'N errors, M warnings in K files' (not with --quiet or --json).\n"
    "Scripts, pages and templates larger than 16 MB, binary files, and anything that is not a\n"
    "regular file or folder cannot be checked: exit status 2.\n",
    DefineCheck});

}  // namespace
}  // namespace brevalcore::tools
