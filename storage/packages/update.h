#pragma once
// The banner package update run at each start of the control: compares the resource
// library's version with the marker file in the banner folder, unpacks a newer package, and
// starts the external updater. Everything it needs comes in explicitly, so the control, the
// `brevalcore unpack` tool and the tests call it the same way.
#include <cstdint>
#include <functional>

#include "platform/automation/text.h"
#include "platform/shell/clock.h"
#include "platform/shell/process.h"
#include "platform/ui/user_interface.h"

namespace brevalcore::packages {

using automation::String;

// The name of the resource library in its folder, and of the updater in the control folder.
inline constexpr char16_t kLibraryFileName[] = u"BVCRES.DLL";
inline constexpr char16_t kUpdaterFileName[] = u"BvcUpdate.exe";

// What the updater's command line carries, taken from the current facts at the moment of
// the start (the software name and serial number are trimmed when the line is built).
struct UpdaterFields {
  String software;      // ApplicationFacts.Software
  String serialNumber;  // ApplicationFacts.SerialNumber
  String doctorCode;    // DoctorFacts.Code
  String region;        // DoctorFacts.Region
  String province;      // DoctorFacts.Province
};

// The doctor's "GUID" entry of section "BVC". The control passes one backed by its banner
// history procedures; the tools and tests use IniGuidStore (guid.h) or a fake.
class GuidStore {
 public:
  virtual ~GuidStore() = default;
  virtual String ReadGuid() = 0;              // empty when there is none
  virtual void WriteGuid(const String& guid) = 0;
};

struct UpdateRequest {
  String resBannerPath;  // folder of BVCRES.DLL (ApplicationFacts.ResBannerPath)
  String bannerFolder;   // cContext.PathTempBanner
  String controlFolder;  // folder holding BvcUpdate.exe
  UpdaterFields updater;
};

struct UpdateServices {
  ui::UserInterface& ui;               // the error report ("Error in UpdateFromRES ...")
  shell::ProcessService& processes;    // updater start and the "already running" test
  const shell::Clock& clock;           // the "Updated:" line of the marker
  GuidStore& guid;                     // ensured before each updater start
  // Called after each package file is written (tools show a progress bar); may be empty.
  std::function<void(int filesWritten, uint64_t bytesWritten)> onFileWritten = {};
};

// Result of one update. `usable` is the procedure's Boolean: True when the banner folder may
// be used (up to date, just unpacked, or busy and left alone). `disableBanners` is set when
// no usable library exists: the caller sets ApplicationFacts.EnableBanners to False.
struct UpdateOutcome {
  bool usable = false;
  bool disableBanners = false;
  bool unpacked = false;      // files were written (for tools and tests)
  int filesWritten = 0;
};

// Reports its own failures through services.ui and never throws.
[[nodiscard]] UpdateOutcome UpdateFromRES(const UpdateRequest& request, UpdateServices& services);

}  // namespace brevalcore::packages
