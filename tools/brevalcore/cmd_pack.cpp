// brevalcore pack DIR --version A.B.C.D -o FILE: makes a banner package (resource library)
// from the files of a folder, for banner authors working on Linux. The folder is checked
// first, as `brevalcore check` checks it: a package with an error is not written.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "storage/packages/package_builder.h"
#include "storage/packages/updater.h"
#include "tools/authoring/check.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/progress_bar.h"

namespace brevalcore::tools {
namespace {

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
  std::fputs(Printable(authoring::FormatFindings(result.findings), true).c_str(), stderr);
  // Input that cannot be read is told by its finding alone: a count would add nothing.
  if (!Manners().quiet && !result.unusable)
    std::fputs(Printable(authoring::FormatSummary(result.findings, result.filesChecked), true).c_str(), stderr);
}

struct PackCommand {
  std::string folder, output, company, description;
  bool force = false, pe32plus = false;
  packages::PackOptions options;
};

int RunPack(PackCommand& c) {
  packages::PackOptions& options = c.options;
  const std::string& folder = c.folder;
  const std::string& output = c.output;
  const bool force = c.force;
  options.companyName = automation::FromUtf8(c.company);
  options.fileDescription = automation::FromUtf8(c.description);
  if (c.pe32plus) options.format = pe::PeFormat::Pe32Plus;
  uint16_t parts[4];
  if (!packages::ParseVersion(options.version, parts))
    return Complain("pack", "--version: four numbers such as 2.0.1.5, not '" + options.version + "'", kExitUsage);

  ProgressBar checking("check");
  const authoring::CheckResult checked =
      authoring::CheckPath(folder, [&](size_t done, size_t total) { checking.Update(done, total); });
  checking.Finish();
  PrintFindings(checked);
  if (checked.unusable) return Complain("pack", folder + " cannot be packed as it is; nothing written", kExitUsage);
  if (authoring::CheckExitStatus(checked, false) != 0) {
    if (!force) {
      return Complain("pack", folder + " has errors; nothing written (--force packs it all the same)", kExitFailed);
    }
    Complain("pack", "packing " + folder + " despite its errors (--force)", kExitOk);
  }

  options.packageGuid = packages::NewGuidString();
  Tell("pack", "packing " + folder + " into " + output);
  ProgressBar bar("pack");
  const packages::PackResult packed = packages::BuildPackage(folder, options, [&](size_t done, size_t total,
                                                                                   uint64_t bytes) {
    bar.Update(done, total, bytes);
  });
  bar.Finish();
  if (!packed.ok) {
    return Complain("pack", packed.error + "; nothing written", kExitFailed);
  }
  if (!WriteLibrary(output, packed.library))
    return Complain("pack", "cannot write " + output + "; nothing written", kExitFailed);
  uint64_t bytes = 0;
  for (const auto& file : packed.files) {
    std::printf("%10llu  %s\n", static_cast<unsigned long long>(file.size), Printable(automation::ToUtf8(file.name)).c_str());
    bytes += file.size;
  }
  std::printf("%s: version %s, GUID %s, %zu files (%llu bytes), library %zu bytes\n", Printable(output).c_str(),
              options.version.c_str(), automation::ToUtf8(options.packageGuid).c_str(), packed.files.size(),
              static_cast<unsigned long long>(bytes), packed.library.size());
  return 0;
}

Runner DefinePack(CLI::App& app) {
  auto c = std::make_shared<PackCommand>();
  app.add_option("DIR", c->folder, "the folder of the banner files")->required();
  app.add_option("--version", c->options.version, "the package version, four numbers such as 2.0.1.5")
      ->required()
      ->type_name("A.B.C.D");
  app.add_option("-o,--output", c->output, "the library to write (BVCRES.DLL)")->required()->type_name("FILE");
  app.add_option("--company", c->company, "the library's CompanyName")->type_name("TEXT");
  app.add_option("--description", c->description, "the library's FileDescription")->type_name("TEXT");
  app.add_flag("--pe32plus", c->pe32plus, "write a 64-bit (PE32+) library");
  app.add_flag("--force", c->force, "pack a folder with errors all the same");
  return [c] { return RunPack(*c); };
}

const SubcommandRegistration kRegistration({
    "pack", "check a folder and make a banner package (BVCRES.DLL) from it",
    "Checks DIR as `brevalcore check DIR` does and prints what it finds. When there is an error\n"
    "nothing is written and the exit status is 1, unless --force is given. Otherwise every file\n"
    "of DIR (hidden files left out) becomes one entry of the package, numbered from 2 in name\n"
    "order; the version becomes the library's FileVersion and ProductVersion (table 041004E4,\n"
    "Italian, Windows-1252), and a new GUID its PackageGUID, so two builds of one version can be\n"
    "told apart. The library replaces FILE in one step once it is complete; the files that went\n"
    "in, their sizes, the version and the GUID are listed. A progress bar is drawn on a terminal.\n",
    DefinePack});

}  // namespace
}  // namespace brevalcore::tools
