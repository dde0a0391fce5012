#pragma once
// The automatic push: after its start-up the control starts `brevalcore trace push` as an
// outside process, the way it starts the updater, at most once per interval for all the hosts
// of the machine. It never waits for the push and never sends anything itself. Off unless the
// control's folder holds a settings file naming the server:
//
//   BVCTrace.ini
//   [Push]
//   Url=service=banners              ; a libpq connection URI or keyword string
//   IntervalMinutes=60               ; optional, at least 1
//   Pseudonymise=push.key            ; optional key file, relative to the control folder
//   Program=/opt/brevalcore/brevalcore  ; optional, else "brevalcore" in the control folder
#include <cstdint>
#include <string>
#include <vector>

#include "platform/shell/clock.h"
#include "platform/shell/process.h"

namespace brevalcore::tracing {

inline constexpr char kAutoPushSettingsName[] = "BVCTrace.ini";
inline constexpr char kPushProgramName[] = "brevalcore";
inline constexpr int64_t kDefaultPushIntervalMinutes = 60;

struct AutoPushSettings {
  std::string url;  // empty: the automatic push is off
  int64_t intervalMinutes = kDefaultPushIntervalMinutes;
  std::string keyFile;  // the pseudonymisation key, or empty
  std::string program;  // the brevalcore tool
};

AutoPushSettings ReadAutoPushSettings(const std::string& controlFolder);

// argv of the push for `databaseFile`.
std::vector<std::string> AutoPushCommand(const AutoPushSettings& settings, const std::string& databaseFile);

enum class AutoPushOutcome { kOff, kNoProgram, kNoDatabase, kNotDue, kStarted, kNotStarted };

// Starts the push when it is on, its program and the database exist, and no host of the
// machine started one within the interval. Cheap enough for the control's start-up: a settings
// read, one statement on the trace database and a process start.
AutoPushOutcome StartAutoPush(const std::string& controlFolder, const std::string& databaseFile,
                              const shell::Clock& clock, shell::ProcessService& processes);

}  // namespace brevalcore::tracing
