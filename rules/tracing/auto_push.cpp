#include "rules/tracing/auto_push.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>

#include "platform/automation/text.h"
#include "rules/tracing/store.h"
#include "storage/ini_file.h"

namespace brevalcore::tracing {

namespace {

namespace fs = std::filesystem;
constexpr char16_t kSection[] = u"Push";

std::string Setting(const fs::path& file, automation::StringView key) {
  std::string value = automation::ToUtf8(storage::ReadIni(file, kSection, key));
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  return value;
}

std::string InFolder(const std::string& controlFolder, const std::string& name) {
  return name.empty() || fs::path(name).is_absolute() ? name : (fs::path(controlFolder) / name).string();
}

bool IsExecutableFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

AutoPushSettings ReadAutoPushSettings(const std::string& controlFolder) {
  const fs::path file = fs::path(controlFolder) / kAutoPushSettingsName;
  AutoPushSettings settings;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return settings;  // off, and nothing written beside it
  settings.url = Setting(file, u"Url");
  const std::string interval = Setting(file, u"IntervalMinutes");
  int64_t minutes = 0;
  const auto [end, error] = std::from_chars(interval.data(), interval.data() + interval.size(), minutes);
  if (error == std::errc() && end == interval.data() + interval.size() && minutes >= 1) settings.intervalMinutes = minutes;
  settings.keyFile = InFolder(controlFolder, Setting(file, u"Pseudonymise"));
  const std::string program = Setting(file, u"Program");
  settings.program = program.empty() ? (fs::path(controlFolder) / kPushProgramName).string() : InFolder(controlFolder, program);
  return settings;
}

std::vector<std::string> AutoPushCommand(const AutoPushSettings& settings, const std::string& databaseFile) {
  std::vector<std::string> argv{settings.program, "trace", "push", "--to", settings.url, "--db", databaseFile};
  if (!settings.keyFile.empty()) argv.insert(argv.end(), {"--pseudonymise", settings.keyFile});
  argv.push_back("--quiet");
  return argv;
}

AutoPushOutcome StartAutoPush(const std::string& controlFolder, const std::string& databaseFile,
                              const shell::Clock& clock, shell::ProcessService& processes) {
  const AutoPushSettings settings = ReadAutoPushSettings(controlFolder);
  if (settings.url.empty()) return AutoPushOutcome::kOff;
  if (!IsExecutableFile(settings.program)) return AutoPushOutcome::kNoProgram;
  std::error_code ec;
  if (!fs::is_regular_file(databaseFile, ec)) return AutoPushOutcome::kNoDatabase;
  auto database = TraceDatabase::Open(databaseFile, /*create=*/false);
  if (!database) return AutoPushOutcome::kNoDatabase;
  if (!database->ClaimAutoPush(clock.Now(), settings.intervalMinutes * 60)) return AutoPushOutcome::kNotDue;
  return processes.Spawn(settings.program, AutoPushCommand(settings, databaseFile)) ? AutoPushOutcome::kStarted
                                                                                    : AutoPushOutcome::kNotStarted;
}

}  // namespace brevalcore::tracing
