// brevalcore info FILE: what a banner package holds: version, library date and files.
#include <cstdio>
#include <memory>
#include <optional>

#include "platform/automation/error.h"
#include "platform/pe/version_resource.h"
#include "storage/packages/file_version_info.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/package_builder.h"
#include "storage/packages/unpack.h"
#include "tools/authoring/findings.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

struct InfoOptions {
  std::string file;
  bool json = false;
};

std::string Utf8(const automation::String& text) { return automation::ToUtf8(text); }

// The "PackageGUID" string pack writes into the first translation's table, or "(none)".
std::string PackageGuid(const pe::PeImage& image) {
  const auto version = pe::VersionResource::FromImage(image);
  if (!version || version->Translations().empty()) return "(none)";
  const pe::Translation t = version->Translations().front();
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04X%04X\\", t.language, t.codePage);
  const pe::VersionQuery query = version->Query(prefix + Utf8(packages::kPackageGuidKey));
  return query.ok && query.isText && !query.text.empty() ? query.text : "(none)";
}

struct PackageFile {
  int number;
  std::optional<size_t> size;  // none: a name without data
  std::string name;
};

// What info prints, gathered once for the text and the JSON forms.
struct PackageInfo {
  std::vector<std::pair<std::string, std::string>> fields;  // label, value, in print order
  std::vector<PackageFile> files;
  uint64_t bytes = 0;
  int withData = 0;
};

PackageInfo Describe(const packages::cResource& library, const std::string& file) {
  PackageInfo result;
  packages::CFileVersionInfo info;
  info.RefreshFrom(pe::VersionResource::FromImage(*library.image()));
  result.fields.emplace_back("version", info.Available() ? Utf8(info.FileVersion()) : "(none)");
  result.fields.emplace_back("library date", Utf8(packages::FileDateText(file)));
  if (info.Available()) {
    result.fields.emplace_back("fixed version", Utf8(info.VerFile()));
    result.fields.emplace_back("company", Utf8(info.CompanyName()));
    result.fields.emplace_back("description", Utf8(info.FileDescription()));
    result.fields.emplace_back("language", Utf8(info.Language()));
    result.fields.emplace_back("package GUID", PackageGuid(*library.image()));
  }
  for (int n = packages::kFirstPackageString; n <= packages::kLastPackageString; ++n) {
    automation::String name;
    if (!library.DLL_LoadString(static_cast<int16_t>(n), name)) break;
    std::span<const uint8_t> data;
    PackageFile entry{n, std::nullopt, Utf8(name)};
    if (library.DLL_LoadData(n, data, packages::kBannerResourceType)) {
      entry.size = data.size();
      ++result.withData;
      result.bytes += data.size();
    }
    result.files.push_back(std::move(entry));
  }
  return result;
}

void PrintText(const PackageInfo& info) {
  for (const auto& [label, value] : info.fields) std::printf("%s: %s\n", label.c_str(), Printable(value).c_str());
  std::printf("files:\n");
  for (const PackageFile& f : info.files) {
    const std::string size = f.size ? std::to_string(*f.size) : "(no data)";
    std::printf("%6d %10s  %s\n", f.number, size.c_str(), Printable(f.name).c_str());
  }
  std::printf("%d files, %llu bytes\n", info.withData, static_cast<unsigned long long>(info.bytes));
}

// Field labels become camel-case keys: "package GUID" -> "packageGUID".
std::string JsonKey(const std::string& label) {
  std::string key;
  bool upper = false;
  for (char c : label) {
    if (c == ' ') upper = true;
    else key += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c, upper = false;
  }
  return key;
}

void PrintJson(const PackageInfo& info) {
  std::string out = "{";
  for (const auto& [label, value] : info.fields)
    out += authoring::JsonString(JsonKey(label)) + ": " + authoring::JsonString(value) + ", ";
  out += "\"files\": [";
  for (size_t i = 0; i < info.files.size(); ++i) {
    const PackageFile& f = info.files[i];
    out += std::string(i ? ", " : "") + "{\"number\": " + std::to_string(f.number) +
           ", \"size\": " + (f.size ? std::to_string(*f.size) : "null") + ", \"name\": " + authoring::JsonString(f.name) + "}";
  }
  out += "], \"fileCount\": " + std::to_string(info.withData) + ", \"bytes\": " + std::to_string(info.bytes) + "}\n";
  std::fputs(out.c_str(), stdout);
}

int RunInfo(const InfoOptions& o) {
  if (auto refused = authoring::CheckInputFile(o.file, authoring::kMaxLibraryFileBytes))
    return Complain("info", o.file + ": " + *refused, kExitUsage);
  packages::cResource library;
  try {
    library.SetLibraryFilePath(automation::FromUtf8(o.file));
  } catch (const automation::AutomationError& e) {
    return Complain("info", "not a banner package: " + Utf8(e.description()), kExitUsage);
  }
  if (library.LibraryFilePath().empty()) return Complain("info", o.file + ": no such file", kExitUsage);
  const PackageInfo info = Describe(library, o.file);
  if (o.json) PrintJson(info);
  else PrintText(info);
  return kExitOk;
}

Runner DefineInfo(CLI::App& app) {
  auto o = std::make_shared<InfoOptions>();
  app.add_option("FILE", o->file, "the banner package (BVCRES.DLL)")->required();
  app.add_flag("--json", o->json, "print the same as one JSON object (files with number, size or null, name)");
  return [o] { return RunInfo(*o); };
}

const SubcommandRegistration kRegistration({
    "info", "show a banner package's version, date and files",
    "Prints the package version (FileVersion), the library date as the marker file records it,\n"
    "the fixed version, the package GUID pack gave it, and one line per package file: its\n"
    "number, size in bytes and name, in the order the control unpacks them. A name without data\n"
    "is listed as \"(no data)\". FILE must be a regular file of at most 1 GB.\n",
    DefineInfo});

}  // namespace
}  // namespace brevalcore::tools
