// Files a link names, and the DOCUMENT command's template filling.
#include <sys/stat.h>

#include <cstdio>
#include <iterator>

#include "commands/command_host.h"
#include "commands/procedures.h"
#include "platform/automation/convert.h"
#include "platform/shell/clock.h"

namespace brevalcore::commands {

std::optional<std::string> FileInFolder(StringView folder, StringView fileName) {
  std::string name = automation::ToUtf8(fileName);
  for (char& c : name)
    if (c == '\\') c = '/';  // banners written on Windows use backslashes
  if (name.empty() || name.front() == '/') return std::nullopt;
  size_t start = 0;
  for (;;) {
    const size_t slash = name.find('/', start);
    if (name.compare(start, slash == std::string::npos ? std::string::npos : slash - start, "..") == 0)
      return std::nullopt;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  std::string path = automation::ToUtf8(folder);
  if (!path.empty() && path.back() == '/') path.pop_back();
  return path + "/" + name;
}

bool PlainFileExists(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const size_t slash = path.rfind('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  return base < path.size() && path[base] != '.';
}

String TodayText(const shell::Clock& clock) {
  const shell::DateParts parts = shell::SplitDate(clock.Now());
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", parts.day, parts.month, parts.year);
  return automation::Ascii(buffer);
}

namespace {

// RTF_VariableReplace: what the compiler does not hold, the host is asked for.
class FieldForwarder : public automation::EventSink {
 public:
  explicit FieldForwarder(CommandHost& host) : host_(host) {}
  void OnEvent(automation::DispId, StringView, std::span<Variant> args) override {
    if (args.size() < 2) return;
    String value = automation::ToString(args[1]);
    RtfVariableReplace(host_, automation::ToString(args[0]), value);
    args[1] = Variant(std::move(value));
  }

 private:
  CommandHost& host_;
};

}  // namespace

String GenerateDocument(CommandHost& host, RtfCompile& rtf, StringView templateName, StringView outputName) {
  FieldForwarder forwarder(host);
  rtf.Events().Connect(&forwarder);
  struct Disconnect {
    RtfCompile& rtf;
    FieldForwarder* sink;
    ~Disconnect() { rtf.Events().Disconnect(sink); }
  } disconnect{rtf, &forwarder};

  const String values[] = {host.PatientName(), host.DoctorName(), host.DoctorStamp(), TodayText(host.Clock())};
  static_assert(sizeof(values) / sizeof(values[0]) == std::size(kDocumentFields));
  for (size_t i = 0; i < std::size(values); ++i) rtf.VariableAdd(kDocumentFields[i], values[i]);
  rtf.SetSepTag(kDefaultSepTag);
  (void)rtf.FileCompile(String(templateName), String(outputName));
  return String(outputName);
}

}  // namespace brevalcore::commands
