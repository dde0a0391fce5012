// brevalcore pack DIR --version A.B.C.D -o FILE: makes a banner package (resource library)
// from the files of a folder, for banner authors working on Linux.
#include <cstdio>
#include <fstream>

#include "storage/packages/package_builder.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/package_progress.h"

namespace brevalcore::tools {
namespace {

int RunPack(const std::vector<std::string>& args);

const Subcommand kPack{
    "pack",
    "make a banner package (BVCRES.DLL) from a folder",
    "usage: brevalcore pack DIR --version A.B.C.D -o FILE [--company TEXT] [--description TEXT] [--pe32plus]\n"
    "\n"
    "Every file under DIR (hidden files and folders left out) becomes one entry of the package,\n"
    "numbered from 2 in name order; files of subfolders are named \"sub\\name\". The control\n"
    "unpacks only into folders that already exist in its banner folder. The version becomes the\n"
    "library's FileVersion and ProductVersion (table 041004E4, Italian, Windows-1252). Names\n"
    "must fit Windows-1252 and 255 characters.\n",
    RunPack};

const SubcommandRegistration kRegistration(kPack);

int RunPack(const std::vector<std::string>& args) {
  std::string folder, output;
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

  ProgressBar bar("pack");
  const packages::PackResult packed = packages::BuildPackage(folder, options, [&](size_t done, size_t total,
                                                                                   uint64_t bytes) {
    bar.Update(done, total, bytes);
  });
  bar.Finish();
  if (!packed.ok) {
    std::fprintf(stderr, "brevalcore pack: %s\n", packed.error.c_str());
    return 1;
  }
  const std::string temporary = output + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packed.library.data()), static_cast<std::streamsize>(packed.library.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "brevalcore pack: cannot write %s\n", temporary.c_str());
      std::remove(temporary.c_str());
      return 1;
    }
  }
  // Replace the old library in one step, so the control never loads a half-written one.
  if (std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::fprintf(stderr, "brevalcore pack: cannot write %s\n", output.c_str());
    std::remove(temporary.c_str());
    return 1;
  }
  std::printf("%s: version %s, %zu files, %zu bytes\n", output.c_str(), options.version.c_str(), packed.files.size(),
              packed.library.size());
  return 0;
}

}  // namespace
}  // namespace brevalcore::tools
