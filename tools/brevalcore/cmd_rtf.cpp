// brevalcore rtf TEMPLATE OUTPUT [NAME=VALUE...]: fills an RTF template the way the DOCUMENT
// link does, so banner authors can check their templates without a host.
#include <cstdio>
#include <memory>

#include "commands/rtf_compile.h"
#include "platform/automation/error.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

using automation::String;

class PrintRequests : public automation::EventSink {
 public:
  void OnEvent(automation::DispId, automation::StringView, std::span<automation::Variant> args) override {
    std::printf("asked \"%s\"\n", Printable(automation::ToUtf8(automation::ToString(args[0]))).c_str());
  }
};

struct RtfOptions {
  std::string templateFile, output;
  std::vector<std::string> variables;
};

int RunRtf(const RtfOptions& o) {
  for (const std::string& variable : o.variables)
    if (variable.find('=') == std::string::npos)
      return Complain("rtf", "expected NAME=VALUE, not '" + variable + "'", kExitUsage);
  if (auto refused = authoring::CheckInputFile(o.templateFile, authoring::kMaxTextFileBytes))
    return Complain("rtf", o.templateFile + ": " + *refused, kExitUsage);
  auto rtf = automation::MakeRef<commands::RtfCompile>();
  PrintRequests requests;
  rtf->Events().Connect(&requests);
  try {
    for (const std::string& variable : o.variables) {
      const size_t eq = variable.find('=');
      rtf->VariableAdd(automation::FromUtf8(variable.substr(0, eq)), automation::FromUtf8(variable.substr(eq + 1)));
    }
    const String unresolved =
        rtf->FileCompile(automation::FromUtf8(o.templateFile), automation::FromUtf8(o.output));
    size_t pos = 0;
    while (pos < unresolved.size()) {
      const size_t eol = unresolved.find(u"\r\n", pos);
      std::printf("unresolved \"%s\"\n", Printable(automation::ToUtf8(unresolved.substr(pos, eol - pos))).c_str());
      pos = eol + 2;
    }
    return 0;
  } catch (const automation::AutomationError& e) {
    return Complain("rtf",
                    o.templateFile + ": error " + std::to_string(e.number()) + " (" +
                        automation::ToUtf8(e.description()) + ")",
                    kExitFailed);
  }
}

Runner DefineRtf(CLI::App& app) {
  auto o = std::make_shared<RtfOptions>();
  app.add_option("TEMPLATE", o->templateFile, "the RTF template")->required();
  app.add_option("OUTPUT", o->output, "the RTF document to write")->required();
  app.add_option("NAME=VALUE", o->variables, "a variable the template asks for");
  return [o] { return RunRtf(*o); };
}

const SubcommandRegistration kRegistration({
    "rtf", "fill an RTF template with variables, as the DOCUMENT link does",
    "Replaces each ??NAME?? of TEMPLATE by its VALUE (names are case-insensitive; CR LF and tabs\n"
    "in values become RTF paragraphs and tabs) and writes OUTPUT. Each variable that no\n"
    "NAME=VALUE supplies is printed as `asked \"NAME\"` and left empty; tags still unresolved\n"
    "afterwards are printed as `unresolved \"TAG\"`. A compiler error is printed with its\n"
    "number (exit status 1). TEMPLATE must be a regular file of at most 16 MB.\n",
    DefineRtf});

}  // namespace
}  // namespace brevalcore::tools
