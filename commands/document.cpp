// Files a link names, and the DOCUMENT command's template filling.
#include <cstdio>
#include <iterator>

#include "commands/command_host.h"
#include "commands/procedures.h"
#include "platform/automation/convert.h"
#include "platform/shell/clock.h"
#include "storage/file_names.h"
#include "storage/name_lookup.h"

namespace brevalcore::commands {

std::optional<String> ExistingBannerFile(CommandHost& host, StringView name) {
  const storage::PlainFileLookup found = storage::FindPlainFile(automation::ToUtf8(host.BannerFolder()), name);
  if (found.status == storage::PlainFileLookup::Status::kAmbiguous) storage::RaiseIfUnusable(found);
  if (found.status != storage::PlainFileLookup::Status::kFound) return std::nullopt;
  return automation::FromUtf8(found.path);
}

String LinkTarget(CommandHost& host, StringView target) {
  if (storage::IsAddress(target)) return String(target);
  const std::string path = automation::ToUtf8(storage::WithSlashes(target));
  return automation::FromUtf8(storage::ResolvePath(automation::ToUtf8(host.ShellWorkingFolder()), path));
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
