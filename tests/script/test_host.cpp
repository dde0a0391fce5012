#include "tests/script/test_host.h"

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/script/builtins.h"

namespace brevalcore::script::testing {
namespace {

using automation::DispId;

class Echo : public automation::Object {
 public:
  explicit Echo(std::string& out) : out_(out) {}
  String TypeName() const override { return u"Echo"; }
  DispId GetIdOfName(StringView name) const override {
    return automation::EqualsNoCase(name, u"Echo") ? 1 : automation::kDispIdUnknown;
  }
  Variant Invoke(DispId id, automation::InvokeKind, std::span<Variant> args) override {
    if (id != 1) automation::Raise(automation::err::kNoSuchMember);
    for (size_t i = 0; i < args.size(); ++i) {
      if (i) out_ += ' ';
      const Variant& v = args[i];
      if (v.type() == automation::VarType::Boolean) out_ += v.AsBool() ? "-1" : "0";
      else if (v.IsNull()) out_ += "Null";
      else out_ += automation::ToUtf8(automation::ToString(v));
    }
    out_ += '\n';
    return {};
  }

 private:
  std::string& out_;
};

}  // namespace

std::unique_ptr<ScriptHost> MakeHost(std::string& output, size_t memoryCap) {
  ScriptServices services;
  services.memoryCap = memoryCap;
  RegisterBuiltinFactories(*services.factories);
  auto host = CreateScriptHost(services);
  host->SetLanguage(u"VBScript");
  host->AddObject(u"out", Ref<Object>(new Echo(output)), false);
  return host;
}

RunResult RunScript(const std::string& code, std::chrono::milliseconds timeout, size_t memoryCap) {
  RunResult r;
  auto host = MakeHost(r.output, memoryCap);
  host->SetTimeout(timeout);
  try {
    host->AddCode(automation::FromUtf8(code));
  } catch (const ScriptError& e) {
    r.error = e.number();
    r.description = automation::ToUtf8(e.description());
    r.line = e.line();
    r.column = e.column();
  }
  return r;
}

}  // namespace brevalcore::script::testing
