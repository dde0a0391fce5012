#pragma once
// The parts of the checker, one file each: the package as a whole (check.cpp), the rule
// script (check_script.cpp), the pages and their links (check_pages.cpp) and the RTF
// templates (check_templates.cpp). They share one Checker: the package, the findings made so
// far and what one part learns for another.
#include <set>
#include <string>
#include <vector>

#include "tools/authoring/findings.h"
#include "tools/authoring/name_rules.h"
#include "tools/authoring/package.h"

namespace brevalcore::authoring {

// Where a finding points: the file, and a line and column (0, 0 for the file as a whole).
struct Place {
  std::string file;
  int line = 0;
  int column = 0;
};

class Checker {
 public:
  explicit Checker(const Package& package) : package_(package) {}

  const Package& package() const { return package_; }
  void Add(const Place& at, Severity severity, std::string code, std::string message);
  void Error(const Place& at, std::string code, std::string message) { Add(at, Severity::Error, std::move(code), std::move(message)); }
  void Warning(const Place& at, std::string code, std::string message) {
    Add(at, Severity::Warning, std::move(code), std::move(message));
  }

  // The text of a file the checker must read (script, page, template), or nullopt after an
  // "unreadable" finding that makes the whole check unusable.
  std::optional<std::string> ReadText(const PackageEntry& entry, const std::string& shownAs);

  // A name written in a script or a link, looked up as the platform looks it up; reports an
  // ambiguous name at `at`.
  NameMatch Lookup(StringView name, const Place& at, const std::string& what);

  // ---- the parts
  void CheckPackageNames();
  void CheckScript(const PackageEntry& script, const std::string& shownAs);
  void CheckPage(const PackageEntry& page, const std::string& shownAs);
  void CheckTemplate(const PackageEntry& rtf, const std::string& shownAs);
  void CheckUnreachablePages();

  // ---- what the parts learn
  std::set<String> bannersShown;       // page file names a rule shows (as found in the package)
  bool allBannersKnown = false;        // every ShowBanner's name is known before the script runs
  std::set<String> pagesLinked;        // files a page links to or opens
  std::set<String> templatesUsed;      // files #DOCUMENT fills

  std::vector<Finding> findings;
  bool unusable = false;

 private:
  const Package& package_;
};

// Texts shown in messages: a name in quotes, and the platform's error text for a number.
std::string Quoted(StringView text);
std::string Quoted(const std::string& utf8);
std::string ErrorTextOf(int number);
// " (did you mean 'X'?)" for the nearest of `candidates`, or "".
std::string DidYouMean(StringView name, std::span<const String> candidates);

bool EndsWithNoCase(StringView text, StringView suffix);

}  // namespace brevalcore::authoring
