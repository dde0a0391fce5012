#include "storage/packages/updater.h"

#include <sys/stat.h>
#include <uuid/uuid.h>

#include "storage/ini_file.h"
#include "storage/paths.h"

namespace brevalcore::packages {

namespace {

constexpr char16_t kGuidSection[] = u"BVC";
constexpr char16_t kGuidKey[] = u"GUID";

String TrimSpaces(const String& text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == String::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

// A plain file as the platform's plain listing finds it: regular and not hidden.
bool IsPlainFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const size_t slash = path.find_last_of('/');
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  return nameAt < path.size() && path[nameAt] != '.';
}

}  // namespace

std::string UpdaterPath(const String& controlFolder) {
  return storage::BuildPath(automation::ToUtf8(controlFolder), automation::ToUtf8(kUpdaterFileName));
}

String UpdaterArguments(const UpdateRequest& request) {
  const UpdaterFields& f = request.updater;
  return TrimSpaces(f.software) + u"|" + TrimSpaces(f.serialNumber) + u"|" + f.doctorCode + u"|" +
         request.resBannerPath + u"|" + request.bannerFolder + u"|" + f.region + u"|" + f.province;
}

String UpdaterCommandLine(const UpdateRequest& request) {
  return automation::FromUtf8(UpdaterPath(request.controlFolder)) + u" " + UpdaterArguments(request);
}

bool StartUpdater(const UpdateRequest& request, shell::ProcessService& processes, GuidStore& guid) {
  try {
    EnsureGuid(guid);
    const std::string program = UpdaterPath(request.controlFolder);
    if (!IsPlainFile(program)) return false;
    return processes.Spawn(program, {program, automation::ToUtf8(UpdaterArguments(request))});
  } catch (...) {
    return false;
  }
}

String ReadGuid(GuidStore& guid) { return guid.ReadGuid(); }

void EnsureGuid(GuidStore& guid) {
  if (ReadGuid(guid).empty()) guid.WriteGuid(NewGuidString());
}

String GuidText(const std::array<uint8_t, 16>& bytes) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  String text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += u'-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

String NewGuidString() {
  uuid_t uuid;
  uuid_generate_random(uuid);
  std::array<uint8_t, 16> bytes{};
  std::copy(std::begin(uuid), std::end(uuid), bytes.begin());
  return GuidText(bytes);
}

String IniGuidStore::ReadGuid() { return storage::ReadIni(iniFile_, kGuidSection, kGuidKey); }

void IniGuidStore::WriteGuid(const String& guid) { storage::WriteIni(iniFile_, kGuidSection, kGuidKey, guid); }

}  // namespace brevalcore::packages
