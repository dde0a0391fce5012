#pragma once
// Where the control keeps its files: the data root, the banner folder's TEMP subfolder and its
// time-stamped temporary files, and the doctor's profile file beside the control. These
// procedures hold no state and never fail: what cannot be found or made is left empty or
// ignored. Paths are UTF-8 on disk; doctor codes arrive as automation Strings and are used
// unchanged (no trimming, no replacement).
#include <string>
#include <string_view>

#include "platform/automation/text.h"
#include "platform/shell/clock.h"
#include "platform/ui/user_interface.h"

namespace brevalcore::storage {

using automation::String;
using automation::StringView;

// Shell folder identifiers we map on Linux.
inline constexpr int kCommonAppDataFolder = 35;

// The path of a special folder, or "" when it cannot be obtained. Only the common
// application-data folder is known: BREVALCORE_COMMON_APPDATA when set, else /var/lib when it
// exists and is writable.
std::string GetSpecialFolderPath(int folderId);

// The data root: the common application-data folder, else $tmp, else $temp, else $TMPDIR
// (which may all be empty, leaving the root empty).
std::string GetDataFolder();

// Joins two parts with exactly one "/": drops one "/" at the end of `first` and one at the
// start of `second`, nothing more.
std::string BuildPath(std::string_view first, std::string_view second);

// The folder holding the control's own program file: BREVALCORE_CONTROL_DIR when set, else the
// folder of the module (shared library or executable) that contains this code.
std::string GetControlFolder();

// "BVC_" + doctor code + ".INI" in the control folder.
std::string GetIniFilePath(std::string_view controlFolder, StringView doctorCode);

// The banner folder's "TEMP" subfolder.
std::string GetTempFolder(std::string_view bannerFolder);
// Creates the TEMP folder (one level); every error is ignored.
void CreateTempFolder(std::string_view bannerFolder);
// Creates the TEMP folder and deletes this doctor's temporary files ("~" + code + "_*.*");
// other doctors' files and every error are left alone.
void ClearTempFiles(std::string_view bannerFolder, StringView doctorCode);
// TEMP folder + "/~" + doctor code + "_" + yyyymmddhhnnss + "_" + name. Creates nothing.
std::string MakeTempFileName(StringView fileName, std::string_view bannerFolder, StringView doctorCode,
                             const shell::Clock& clock);
// The time stamp of temporary file names, "yyyymmddhhnnss".
std::string TempFileStamp(automation::Date now);

// The control's message box; an empty title means "Info Controllo Utente".
inline constexpr char16_t kDefaultMessageTitle[] = u"Info Controllo Utente";
ui::Button ShowMessage(ui::UserInterface& ui, StringView prompt, int styleCode, StringView title = {});

}  // namespace brevalcore::storage
