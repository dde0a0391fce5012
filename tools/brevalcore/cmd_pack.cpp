// brevalcore pack DIR --version A.B.C.D -o FILE: makes a banner package (resource library)
// from the files of a folder, for banner authors working on Linux. The folder is checked
// first, as `brevalcore check` checks it: a package with an error is not written.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "storage/packages/package_builder.h"
#include "storage/packages/updater.h"
#include "tools/authoring/check.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/package_progress.h"

namespace brevalcore::tools {
namespace {

int RunPack(const std::vector<std::string>& args);

const Subcommand kPack{
    "pack",
    "check a folder and make a banner package (BVCRES.DLL) from it",
    "usage: brevalcore pack DIR --version A.B.C.D -o FILE [--company TEXT] [--description TEXT]\n"
    "                       [--pe32plus] [--force]\n"
    "\n"
    "Checks DIR as `brevalcore check DIR` does and prints what it finds. When there is an error\n"
    "nothing is written and the exit status is 1, unless --force is given. Otherwise every file\n"
    "of DIR (hidden files left out) becomes one entry of the package, numbered from 2 in name\n"
    "order; the version becomes the library's FileVersion and ProductVersion (table 041004E4,\n"
    "Italian, Windows-1252), and a new GUID its PackageGUID, so two builds of one version can be\n"
    "told apart. The library replaces FILE in one step once it is complete; the files that went\n"
    "in, their sizes, the version and the GUID are listed.\n"
    "Exit status: 0 written, 1 refused or failed, 2 bad arguments or an unreadable folder.\n",
    RunPack};

const SubcommandRegistration kRegistration(kPack);

// Writes the library beside FILE and renames it into place, so no half-written library is
// ever found under FILE; false (and nothing left behind) when that fails.
bool WriteLibrary(const std::string& output, const std::vector<uint8_t>& bytes) {
  std::string temporary = output + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool written = done == bytes.size() && ::fchmod(fd, 0644) == 0 && ::close(fd) == 0;
  if (!written || std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

void PrintFindings(const authoring::CheckResult& result) {
  if (result.findings.empty()) return;
  std::fputs(authoring::FormatFindings(result.findings).c_str(), stderr);
  std::fputs(authoring::FormatSummary(result.findings, result.filesChecked).c_str(), stderr);
}

int RunPack(const std::vector<std::string>& args) {
  std::string folder, output;
  bool force = false;
  packages::PackOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string text;
    if (a == "--version") {
      if (!value(options.version)) return UsageError(kPack, "--version needs a value");
    } else if (a == "-o" || a == "--output") {
      if (!value(output)) return UsageError(kPack, "-o needs a file name");
    } else if (a == "--company") {
      if (!value(text)) return UsageError(kPack, "--company needs a text");
      options.companyName = automation::FromUtf8(text);
    } else if (a == "--description") {
      if (!value(text)) return UsageError(kPack, "--description needs a text");
      options.fileDescription = automation::FromUtf8(text);
    } else if (a == "--pe32plus") {
      options.format = pe::PeFormat::Pe32Plus;
    } else if (a == "--force") {
      force = true;
    } else if (!a.empty() && a[0] == '-') {
      return UsageError(kPack, "unknown option " + a);
    } else if (folder.empty()) {
      folder = a;
    } else {
      return UsageError(kPack, "one folder only");
    }
  }
  if (folder.empty() || output.empty() || options.version.empty())
    return UsageError(kPack, "DIR, --version and -o are required");
  uint16_t parts[4];
  if (!packages::ParseVersion(options.version, parts)) {
    std::fprintf(stderr, "brevalcore pack: the version must be four numbers such as 2.0.1.5, not '%s'\n",
                 options.version.c_str());
    return 1;
  }

  const authoring::CheckResult checked = authoring::CheckPath(folder);
  PrintFindings(checked);
  if (checked.unusable) {
    std::fprintf(stderr, "brevalcore pack: %s cannot be packed as it is; nothing written\n", folder.c_str());
    return 2;
  }
  if (authoring::CheckExitStatus(checked, false) != 0) {
    if (!force) {
      std::fprintf(stderr, "brevalcore pack: %s has errors; nothing written (--force packs it all the same)\n",
                   folder.c_str());
      return 1;
    }
    std::fprintf(stderr, "brevalcore pack: packing %s despite its errors (--force)\n", folder.c_str());
  }

  options.packageGuid = packages::NewGuidString();
  ProgressBar bar("pack");
  const packages::PackResult packed = packages::BuildPackage(folder, options, [&](size_t done, size_t total,
                                                                                   uint64_t bytes) {
    bar.Update(done, total, bytes);
  });
  bar.Finish();
  if (!packed.ok) {
    std::fprintf(stderr, "brevalcore pack: %s; nothing written\n", packed.error.c_str());
    return 1;
  }
  if (!WriteLibrary(output, packed.library)) {
    std::fprintf(stderr, "brevalcore pack: cannot write %s; nothing written\n", output.c_str());
    return 1;
  }
  uint64_t bytes = 0;
  for (const auto& file : packed.files) {
    std::printf("%10llu  %s\n", static_cast<unsigned long long>(file.size), automation::ToUtf8(file.name).c_str());
    bytes += file.size;
  }
  std::printf("%s: version %s, GUID %s, %zu files (%llu bytes), library %zu bytes\n", output.c_str(),
              options.version.c_str(), automation::ToUtf8(options.packageGuid).c_str(), packed.files.size(),
              static_cast<unsigned long long>(bytes), packed.library.size());
  return 0;
}

}  // namespace
}  // namespace brevalcore::tools
