#pragma once
// The external updater and the installation GUID. The control starts the updater (never
// waits for it) with the host's and the doctor's details, and makes sure the doctor's INI file
// holds a GUID entry first.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "storage/packages/update.h"

namespace brevalcore::packages {

// Control folder + "/BvcUpdate.exe".
std::string UpdaterPath(const String& controlFolder);

// The seven fields joined by "|": trimmed software name and serial number, then doctor code,
// library folder, banner folder, region and province unchanged. Nothing is quoted.
String UpdaterArguments(const UpdateRequest& request);
// The whole command line as the platform would see it: updater full name, one space, the fields.
String UpdaterCommandLine(const UpdateRequest& request);

// EnsureGuid, then starts the updater when its file exists (a regular, non-hidden file) with
// argv { full name, fields }. True when the process was created; any failure gives False.
bool StartUpdater(const UpdateRequest& request, shell::ProcessService& processes, GuidStore& guid);

String ReadGuid(GuidStore& guid);
// Writes a new GUID text when the entry is empty (an empty text too when none could be made,
// so the next call tries again).
void EnsureGuid(GuidStore& guid);
// A fresh random GUID as text, or "" when none could be made.
String NewGuidString();
// The text form of a GUID's 16 bytes in memory order: upper-case hex, grouped 8-4-4-4-12.
String GuidText(const std::array<uint8_t, 16>& bytes);

// The GUID entry (section "BVC", key "GUID") of one INI file, through the profile functions.
class IniGuidStore : public GuidStore {
 public:
  explicit IniGuidStore(std::filesystem::path iniFile) : iniFile_(std::move(iniFile)) {}
  String ReadGuid() override;
  void WriteGuid(const String& guid) override;

 private:
  std::filesystem::path iniFile_;
};

}  // namespace brevalcore::packages
