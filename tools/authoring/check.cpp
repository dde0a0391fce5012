// The checker's entry point and its package-wide part: what PATH is, the package's file names,
// its size, the files the control needs, and the pages nothing shows.
#include "tools/authoring/check.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "control/addresses.h"
#include "control/rule_script.h"
#include "platform/automation/error.h"
#include "platform/pe/pe_image.h"
#include "platform/script/compiler/analysis.h"
#include "storage/packages/unpack.h"
#include "storage/packages/update.h"
#include "tools/authoring/checker.h"

namespace brevalcore::authoring {

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxPackageFiles = packages::kLastPackageString - packages::kFirstPackageString + 1;
// Above this a package is still loaded, but every doctor downloads it and every update copies it.
constexpr uint64_t kLargePackageBytes = uint64_t{100} << 20;
// Room the library's headers, string table and version take besides the files.
constexpr uint64_t kLibraryOverheadBytes = uint64_t{1} << 20;

enum class FileRole { Script, Page, Template, Library, Other };

FileRole RoleOf(StringView name) {
  if (EndsWithNoCase(name, u".script") || EndsWithNoCase(name, u".vbs")) return FileRole::Script;
  if (EndsWithNoCase(name, u".html") || EndsWithNoCase(name, u".htm")) return FileRole::Page;
  if (EndsWithNoCase(name, u".rtf")) return FileRole::Template;
  if (EndsWithNoCase(name, u".dll")) return FileRole::Library;
  return FileRole::Other;
}

// Called on a file already known to be regular: a library starts with "MZ".
bool StartsAsLibrary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[2] = {};
  return in.read(head, 2) && head[0] == 'M' && head[1] == 'Z';
}

CheckResult Unusable(const std::string& path, const std::string& why) {
  CheckResult result;
  result.findings.push_back({path, 0, 0, Severity::Error, "unreadable", "cannot be checked: " + why});
  result.unusable = true;
  return result;
}

CheckResult Finish(Checker& checker, int filesChecked) {
  CheckResult result;
  result.findings = std::move(checker.findings);
  SortFindings(result.findings);
  result.filesChecked = filesChecked;
  result.unusable = checker.unusable;
  return result;
}

int CountFiles(const Package& package) {
  int files = 0;
  for (const PackageEntry& e : package.entries()) files += e.kind == PackageEntry::Kind::File;
  return files;
}

// Every part, over a whole package.
CheckResult CheckPackage(const Package& package, const CheckProgress& progress) {
  Checker checker(package);
  checker.CheckPackageNames();
  const NameMatch script = ResolveFileName(package.fileNames(), automation::Ascii(control::kScriptFileName));
  if (script.state != NameMatch::State::Missing) {
    const PackageEntry& entry = *package.Find(script.name);
    checker.CheckScript(entry, entry.display);
  }
  std::vector<const PackageEntry*> pages;
  for (const PackageEntry& entry : package.entries())
    if (entry.kind == PackageEntry::Kind::File && RoleOf(entry.name) == FileRole::Page &&
        entry.name.find(u'\\') == String::npos)
      pages.push_back(&entry);
  std::set<String> templates;
  for (const String& name : package.fileNames())
    if (RoleOf(name) == FileRole::Template) templates.insert(name);
  // Pages come first: they name the templates their links use, which are checked too.
  const size_t total = pages.size() + templates.size();
  size_t done = 0;
  for (const PackageEntry* entry : pages) {
    checker.CheckPage(*entry, entry->display);
    if (progress) progress(++done, total);
  }
  templates.insert(checker.templatesUsed.begin(), checker.templatesUsed.end());
  for (const String& name : templates) {
    const PackageEntry& entry = *package.Find(name);
    checker.CheckTemplate(entry, entry.display);
    if (progress) progress(std::min(++done, total), total);
  }
  checker.CheckUnreachablePages();
  return Finish(checker, CountFiles(package));
}

// One script, page or template, against the files of its folder.
CheckResult CheckSingleFile(const std::string& path, FileRole role) {
  const fs::path file(path);
  const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
  const Package package = Package::FromFolder(folder);
  PackageEntry entry;
  entry.name = automation::FromUtf8(file.filename().string());
  entry.display = path;
  entry.path = path;
  Checker checker(package);
  switch (role) {
    case FileRole::Script: checker.CheckScript(entry, path); break;
    case FileRole::Page: checker.CheckPage(entry, path); break;
    default: checker.CheckTemplate(entry, path); break;
  }
  return Finish(checker, 1);
}

}  // namespace

std::string Quoted(StringView text) { return "'" + automation::ToUtf8(text) + "'"; }
std::string Quoted(const std::string& utf8) { return "'" + utf8 + "'"; }

std::string ErrorTextOf(int number) { return automation::ErrorText(number); }

std::string DidYouMean(StringView name, std::span<const String> candidates) {
  const std::vector<String> near = script::analysis::NearNames(name, candidates);
  return near.empty() ? std::string() : " (did you mean " + Quoted(near.front()) + "?)";
}

bool EndsWithNoCase(StringView text, StringView suffix) {
  return text.size() >= suffix.size() && automation::EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

void Checker::Add(const Place& at, Severity severity, std::string code, std::string message) {
  findings.push_back({at.file, at.line, at.column, severity, std::move(code), std::move(message)});
}

std::optional<std::string> Checker::ReadText(const PackageEntry& entry, const std::string& shownAs) {
  InputFile file = package_.Read(entry, kMaxTextFileBytes);
  if (file.problem == InputProblem::None && file.bytes.find('\0') != std::string::npos)
    file = InputFile{InputProblem::Unreadable, "a binary file (it holds NUL bytes), not text", {}};
  if (file.problem != InputProblem::None) {
    Error({shownAs}, "unreadable", "cannot be checked: " + file.message);
    unusable = true;
    return std::nullopt;
  }
  return std::move(file.bytes);
}

NameMatch Checker::Lookup(StringView name, const Place& at, const std::string& what) {
  NameMatch match = ResolveFileName(package_.fileNames(), name);
  if (match.state == NameMatch::State::Ambiguous)
    Error(at, "name-ambiguous",
          what + " " + Quoted(name) + " is ambiguous: " + Quoted(match.name) + " and " + Quoted(match.other) +
              " differ only by case, and on the platform they are one file");
  return match;
}

void Checker::CheckPackageNames() {
  if (package_.entries().empty()) {
    Error({"."}, "package-empty", "the package is empty: there is nothing to install");
    return;
  }
  uint64_t total = 0;
  size_t files = 0;
  std::map<String, const PackageEntry*> byFoldedName;
  for (const PackageEntry& entry : package_.entries()) {
    const Place at{entry.display};
    switch (entry.kind) {
      case PackageEntry::Kind::Folder:
        Error(at, "package-subfolder",
              "a subfolder: the control never creates folders, so its files would fail the install (\"Path not "
              "found\") and switch banners off; put the files in the package folder itself");
        continue;
      case PackageEntry::Kind::Link:
        Error(at, "package-not-regular", "a symbolic link: packages hold plain files only; copy the file in");
        continue;
      case PackageEntry::Kind::Special:
        Error(at, "unreadable", "cannot be checked: not a regular file (a FIFO, a device or a socket)");
        unusable = true;
        continue;
      case PackageEntry::Kind::File: break;
    }
    ++files;
    total += entry.size;
    if (entry.name.find(u'\\') != String::npos) {
      // Files of subfolders that a folder entry above already reports are not repeated.
      if (!package_.fromLibrary()) continue;
      Error(at, "package-subfolder",
            "a file in a subfolder: the control never creates folders, so the install fails here (\"Path not "
            "found\") and switches banners off");
      continue;
    }
    if (auto problem = FileNameProblem(entry.name)) Error(at, "package-name", "not a valid file name: " + *problem);
    const String folded = automation::ToUpper(entry.name);
    if (auto [it, added] = byFoldedName.emplace(folded, &entry); !added)
      Error(at, "package-name-clash",
            Quoted(entry.name) + " and " + Quoted(it->second->name) +
                " differ only by case: on the platform they are one file, and one overwrites the other");
    if (automation::EqualsNoCase(entry.name, packages::kLibraryFileName))
      Error(at, "package-stray", "an old resource library inside the package: it would be unpacked as a banner file");
    else if (EndsWithNoCase(entry.name, packages::kMarkerExtension))
      Error(at, "package-stray", "a package marker: the control writes its own after each install; remove this one");
    if (!entry.hasData) Warning(at, "package-no-data", "the name has no data in the library: the control skips it");
  }
  if (files > kMaxPackageFiles)
    Error({"."}, "package-size",
          std::to_string(files) + " files: a package holds at most " + std::to_string(kMaxPackageFiles));
  if (total + kLibraryOverheadBytes > pe::kMaxImageBytes)
    Error({"."}, "package-size",
          std::to_string(total) + " bytes of files: the library would be larger than the " + SizeText(pe::kMaxImageBytes) +
              " the control loads");
  else if (total > kLargePackageBytes)
    Warning({"."}, "package-size",
            std::to_string(total >> 20) + " MB of files: every doctor downloads the package and every install copies it");

  if (files == 0) return;
  if (ResolveFileName(package_.fileNames(), control::kOfflinePageFile).state == NameMatch::State::Missing)
    Error({automation::ToUtf8(control::kOfflinePageFile)}, "package-no-offline",
          "the package has no offline.html: when the default page cannot be reached the control has nothing to show");
  if (ResolveFileName(package_.fileNames(), automation::Ascii(control::kScriptFileName)).state ==
      NameMatch::State::Missing)
    Error({control::kScriptFileName}, "package-no-script",
          "the package has no banner.script: the control's start fails (\"File not found\") and switches banners off");
}

void Checker::CheckUnreachablePages() {
  if (!allBannersKnown) return;  // a rule builds a name while it runs: any page may be shown
  for (const String& name : package_.fileNames()) {
    if (RoleOf(name) != FileRole::Page || automation::EqualsNoCase(name, control::kOfflinePageFile)) continue;
    if (bannersShown.count(name) || pagesLinked.count(name)) continue;
    Warning({package_.Find(name)->display}, "page-unreachable",
            "no rule shows this page and no page links to it: doctors never see it");
  }
}

CheckResult CheckPath(const std::string& path, const CheckProgress& progress) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Unusable(path, "no such file or folder");
  if (S_ISDIR(st.st_mode)) return CheckPackage(Package::FromFolder(path), progress);
  if (auto refused = CheckInputFile(path, kMaxLibraryFileBytes)) return Unusable(path, *refused);

  const FileRole role = RoleOf(automation::FromUtf8(fs::path(path).filename().string()));
  if (role == FileRole::Library || StartsAsLibrary(path)) {
    std::string error;
    const std::unique_ptr<Package> package = Package::FromLibrary(path, error);
    if (!package) return Unusable(path, error);
    return CheckPackage(*package, progress);
  }
  if (role == FileRole::Other)
    return Unusable(path, "not a package folder, a resource library, a script (.script, .vbs), a page (.html) or a "
                          "template (.rtf)");
  return CheckSingleFile(path, role);
}

int CheckExitStatus(const CheckResult& result, bool warningsAreErrors) {
  if (result.unusable) return 2;
  for (const Finding& f : result.findings)
    if (f.severity == Severity::Error || warningsAreErrors) return 1;
  return 0;
}

}  // namespace brevalcore::authoring
