// brevalcore rtf TEMPLATE OUTPUT [NAME=VALUE...]: fills an RTF template the way the DOCUMENT
// link does, so banner authors can check their templates without a host.
#include <cstdio>

#include "commands/rtf_compile.h"
#include "platform/automation/error.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

using automation::String;

int RunRtf(const std::vector<std::string>& args);

const Subcommand kRtf{
    "rtf", "fill an RTF template with variables, as the DOCUMENT link does",
    "usage: brevalcore rtf TEMPLATE OUTPUT [NAME=VALUE...]\n"
    "Replaces each ??NAME?? of TEMPLATE by its VALUE (names are case-insensitive; CR LF and tabs\n"
    "in values become RTF paragraphs and tabs) and writes OUTPUT. Each variable that no\n"
    "NAME=VALUE supplies is printed as `asked \"NAME\"` and left empty; tags still unresolved\n"
    "afterwards are printed as `unresolved \"TAG\"`.\n"
    "TEMPLATE must be a regular file of at most 16 MB.\n"
    "Exit status: 0 when written, 1 on a compiler error (printed with its number) or a refused\n"
    "TEMPLATE.\n",
    RunRtf};
SubcommandRegistration registration(kRtf);

class PrintRequests : public automation::EventSink {
 public:
  void OnEvent(automation::DispId, automation::StringView, std::span<automation::Variant> args) override {
    std::printf("asked \"%s\"\n", automation::ToUtf8(automation::ToString(args[0])).c_str());
  }
};

int RunRtf(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError(kRtf, "missing TEMPLATE or OUTPUT");
  if (auto refused = authoring::CheckInputFile(args[0], authoring::kMaxTextFileBytes)) {
    std::fprintf(stderr, "brevalcore rtf: %s: %s\n", args[0].c_str(), refused->c_str());
    return 1;
  }
  auto rtf = automation::MakeRef<commands::RtfCompile>();
  PrintRequests requests;
  rtf->Events().Connect(&requests);
  try {
    for (size_t i = 2; i < args.size(); ++i) {
      const size_t eq = args[i].find('=');
      if (eq == std::string::npos) return UsageError(kRtf, "expected NAME=VALUE: " + args[i]);
      std::string value = args[i].substr(eq + 1);
      rtf->VariableAdd(automation::FromUtf8(args[i].substr(0, eq)), automation::FromUtf8(value));
    }
    const String unresolved = rtf->FileCompile(automation::FromUtf8(args[0]), automation::FromUtf8(args[1]));
    size_t pos = 0;
    while (pos < unresolved.size()) {
      const size_t eol = unresolved.find(u"\r\n", pos);
      std::printf("unresolved \"%s\"\n", automation::ToUtf8(unresolved.substr(pos, eol - pos)).c_str());
      pos = eol + 2;
    }
    return 0;
  } catch (const automation::AutomationError& e) {
    std::fprintf(stderr, "brevalcore rtf: error %d (%s)\n", e.number(), automation::ToUtf8(e.description()).c_str());
    return 1;
  }
}

}  // namespace
}  // namespace brevalcore::tools
