#include "storage/packages/update.h"

#include "platform/automation/error.h"
#include "storage/packages/file_version_info.h"
#include "storage/packages/package_check.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/unpack.h"
#include "storage/packages/updater.h"
#include "storage/name_lookup.h"
#include "storage/paths.h"

namespace brevalcore::packages {

namespace {

constexpr char16_t kReportPrefix[] = u"Error in UpdateFromRES \r\n";

bool IsBlank(const String& text) { return text.find_first_not_of(u' ') == String::npos; }

// The procedure's one error report: nothing when the text is blank.
void Report(ui::UserInterface& ui, const String& text) {
  if (IsBlank(text)) return;
  storage::ShowMessage(ui, kReportPrefix + text, ui::style::kCritical);
}

UpdateOutcome Failed(UpdateServices& services, const String& text, UpdateOutcome outcome = {}) {
  Report(services.ui, text);
  outcome.usable = false;
  return outcome;
}

}  // namespace

UpdateOutcome UpdateFromRES(const UpdateRequest& request, UpdateServices& services) {
  UpdateOutcome outcome;
  try {
    // The library is found whatever the case of its name, as on the platform; the folder is
    // the host's to configure, so a link to it is followed.
    const storage::Folder libraryFolder(automation::ToUtf8(request.resBannerPath), storage::Folder::Link::kFollow);
    const storage::NameLookup found = storage::LookUpName(libraryFolder, kLibraryFileName);
    if (found.status == storage::NameLookup::Status::kAmbiguous) {
      outcome.disableBanners = true;
      return Failed(services, automation::Ascii(automation::ErrorText(automation::err::kBadFileNameOrNumber)) + u": " +
                                  automation::FromUtf8(found.AmbiguityText()),
                    outcome);
    }
    const std::string libraryPath =
        libraryFolder.PathOf(found.found() ? found.name : automation::ToUtf8(kLibraryFileName));
    const String libraryName = automation::FromUtf8(libraryPath);
    cResource library;
    try {
      library.SetLibraryFilePath(libraryName);
    } catch (const automation::AutomationError&) {
      // There but not loadable: remove it so that the updater fetches a good one. Only a
      // regular file: whatever else stands there is not ours to delete.
      if (libraryFolder.Kind(found.name) == storage::EntryKind::kRegular) libraryFolder.Remove(found.name);
    }

    if (library.LibraryFilePath().empty()) {
      outcome.disableBanners = true;
      String errorText;
      if (!services.processes.IsProcessRunning(UpdaterPath(request.controlFolder)) &&
          !StartUpdater(request, services.processes, services.guid))
        errorText = u"File '" + libraryName + u"' non trovato";
      return Failed(services, errorText, outcome);
    }

    (void)StartUpdater(request, services.processes, services.guid);

    CFileVersionInfo info;
    info.RefreshFrom(pe::VersionResource::FromImage(*library.image()));
    String version, libraryDate;
    if (info.Available()) {
      version = info.FileVersion();
      libraryDate = FileDateText(libraryPath);
    }

    const std::string bannerFolder = automation::ToUtf8(request.bannerFolder);
    if (IsUpToDate(bannerFolder, version)) {
      outcome.usable = true;
      return outcome;
    }
    // The whole package is checked before anything in the banner folder changes.
    String problem;
    const std::optional<PackageContents> package = ReadPackage(library, version, problem);
    if (!package) return Failed(services, problem, outcome);
    if (const auto noRoom = RoomProblem(*package, bannerFolder)) return Failed(services, *noRoom, outcome);
    if (IsBannerFolderBusy(bannerFolder)) {
      outcome.usable = true;
      return outcome;
    }

    EmptyBannerFolder(bannerFolder);
    const UnpackResult unpacked =
        UnpackPackage(*package, bannerFolder, version, libraryDate, services.clock, services.onFileWritten);
    outcome.unpacked = unpacked.filesWritten > 0;
    outcome.filesWritten = unpacked.filesWritten;
    if (!unpacked.ok) return Failed(services, unpacked.errorText, outcome);
    outcome.usable = true;
    return outcome;
  } catch (const automation::AutomationError& e) {
    return Failed(services, e.description(), outcome);
  } catch (const std::exception& e) {
    return Failed(services, automation::FromUtf8(e.what()), outcome);
  }
}

}  // namespace brevalcore::packages
