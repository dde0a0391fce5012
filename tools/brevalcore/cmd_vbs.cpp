// brevalcore vbs FILE [ARGS...]: runs a script the way the platform's console script host
// does, with a WScript object (Echo, Quit, Arguments, ScriptName).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "platform/script/builtins.h"
#include "platform/script/script_host.h"
#include "tools/authoring/input_file.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

using automation::DispId;
using automation::InvokeKind;
using automation::Ref;
using automation::String;
using automation::StringView;
using automation::Variant;

// WScript.Quit unwinds the script with this; it is not an automation error, so no handler
// in the script can catch it.
struct QuitRequest {
  int code;
};

class ArgumentsObject : public automation::Object {
 public:
  explicit ArgumentsObject(std::vector<String> args) : args_(std::move(args)) {}
  String TypeName() const override { return u"Arguments"; }
  DispId GetIdOfName(StringView name) const override {
    if (automation::EqualsNoCase(name, u"Item")) return 1;
    if (automation::EqualsNoCase(name, u"Count") || automation::EqualsNoCase(name, u"Length")) return 2;
    return automation::kDispIdUnknown;
  }
  Variant Invoke(DispId id, InvokeKind, std::span<Variant> args) override {
    if (id == 0 || id == 1) {
      if (args.size() != 1) automation::Raise(automation::err::kWrongNumberOfArguments);
      const int32_t i = automation::ToLong(args[0]);
      if (i < 0 || static_cast<size_t>(i) >= args_.size()) automation::Raise(automation::err::kSubscriptOutOfRange);
      return Variant(args_[i]);
    }
    if (id == 2) return Variant(static_cast<int32_t>(args_.size()));
    automation::Raise(automation::err::kNoSuchMember);
  }
  Ref<automation::Enumerator> NewEnum() override {
    class Enum : public automation::Enumerator {
     public:
      explicit Enum(Ref<ArgumentsObject> o) : o_(std::move(o)) {}
      bool Next(Variant& out) override {
        if (i_ >= o_->args_.size()) return false;
        out = Variant(o_->args_[i_++]);
        return true;
      }

     private:
      Ref<ArgumentsObject> o_;
      size_t i_ = 0;
    };
    return Ref<automation::Enumerator>(new Enum(Ref<ArgumentsObject>(this)));
  }

 private:
  std::vector<String> args_;
};

class WScriptObject : public automation::Object {
 public:
  WScriptObject(String scriptName, String fullName, std::vector<String> args)
      : scriptName_(std::move(scriptName)), fullName_(std::move(fullName)),
        arguments_(new ArgumentsObject(std::move(args))) {}
  String TypeName() const override { return u"Object"; }
  DispId GetIdOfName(StringView name) const override {
    static constexpr const char16_t* kNames[] = {u"Echo", u"Quit", u"Arguments", u"ScriptName", u"ScriptFullName", u"Sleep"};
    for (int i = 0; i < 6; ++i)
      if (automation::EqualsNoCase(name, kNames[i])) return i + 1;
    return automation::kDispIdUnknown;
  }
  Variant Invoke(DispId id, InvokeKind, std::span<Variant> args) override {
    switch (id) {
      case 1: {
        std::string line;
        for (size_t i = 0; i < args.size(); ++i) {
          if (i) line += ' ';
          line += automation::ToUtf8(EchoText(args[i]));
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        return {};
      }
      case 2: throw QuitRequest{args.empty() || args[0].IsMissing() ? 0 : automation::ToLong(args[0])};
      case 3:
        if (!args.empty()) return arguments_->Invoke(0, automation::kInvokeGet, args);
        return Variant(Ref<automation::Object>(arguments_));
      case 4: return Variant(scriptName_);
      case 5: return Variant(fullName_);
      case 6: return {};
      default: automation::Raise(automation::err::kNoSuchMember);
    }
  }

 private:
  // Echo writes Booleans as numbers (-1, 0) and Null as "Null".
  static String EchoText(const Variant& v) {
    if (v.type() == automation::VarType::Boolean) return v.AsBool() ? u"-1" : u"0";
    if (v.IsNull()) return u"Null";
    if (v.IsMissing()) return String();
    return automation::ToString(v);
  }

  String scriptName_;
  String fullName_;
  Ref<ArgumentsObject> arguments_;
};

String ReadScript(const std::string& bytes) {
  std::string_view b(bytes);
  if (b.starts_with("\xEF\xBB\xBF")) b.remove_prefix(3);
  return automation::IsValidUtf8(b) ? automation::FromUtf8(b) : automation::FromCp1252(b);
}

struct VbsOptions {
  std::string path;
  std::vector<std::string> arguments;
};

int RunVbs(const VbsOptions& o) {
  const std::string& path = o.path;
  const authoring::InputFile file = authoring::ReadInputFile(path, authoring::kMaxTextFileBytes);
  if (file.problem != authoring::InputProblem::None) return Complain("vbs", path + ": " + file.message, kExitUsage);
  const String source = ReadScript(file.bytes);

  std::vector<String> scriptArgs;
  for (const std::string& argument : o.arguments) scriptArgs.push_back(automation::FromUtf8(argument));
  const size_t slash = path.find_last_of('/');
  const String name = automation::FromUtf8(slash == std::string::npos ? path : path.substr(slash + 1));

  script::ScriptServices services;
  script::RegisterBuiltinFactories(*services.factories);
  auto host = script::CreateScriptHost(services);
  int status = 0;
  try {
    host->SetLanguage(u"VBScript");
    host->AddObject(u"WScript", Ref<automation::Object>(new WScriptObject(name, automation::FromUtf8(path), scriptArgs)), false);
    host->AddCode(source);
  } catch (const QuitRequest& q) {
    status = q.code;
  } catch (const script::ScriptError& e) {
    std::fflush(stdout);
    // As a compiler reports a place in a file, so editors jump to it.
    std::fprintf(stderr, "%s:%d:%d: error: %s: %s (%d)\n", Printable(path).c_str(), e.line(), e.column(),
                 automation::ToUtf8(e.source()).c_str(), Printable(automation::ToUtf8(e.description())).c_str(),
                 e.number());
    status = 1;
  }
  std::fflush(stdout);
  return status;
}

Runner DefineVbs(CLI::App& app) {
  auto o = std::make_shared<VbsOptions>();
  app.add_option("FILE", o->path, "the script")->required();
  app.add_option("ARGS", o->arguments, "WScript.Arguments (after -- when one starts with -)");
  return [o] { return RunVbs(*o); };
}

const SubcommandRegistration registration({
    "vbs", "run a VBScript file with a console WScript object",
    "Runs FILE with the project's VBScript engine, with a WScript object (Echo, Quit, Arguments,\n"
    "ScriptName, ScriptFullName, Sleep). WScript.Echo writes to standard output; an error is\n"
    "printed as FILE:LINE:COL: error: SOURCE: DESCRIPTION (NUMBER). FILE must be a regular file\n"
    "of at most 16 MB. The exit status is the code given to WScript.Quit, else 0, or 1 after an\n"
    "error.\n",
    DefineVbs});

}  // namespace
}  // namespace brevalcore::tools
