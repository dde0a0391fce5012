// brevalcore demo: a morning at a GP's desk, told step by step. The sample package is put
// beside the control as a host installs it, the control's own start unpacks it through the
// package update, and the sample session plays the host: each host call, the banner the
// rules chose, each page shown, each event and dialog is printed as a reader would want it.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <fstream>

#include "control/banner_control.h"
#include "platform/automation/convert.h"
#include "tools/brevalcore/command.h"
#include "tools/brevalcore/session.h"

namespace brevalcore::tools {
namespace {

namespace fs = std::filesystem;
using automation::ToUtf8;

constexpr size_t kWidth = 96;                       // narration is wrapped to this many columns
constexpr char kSessionStart[] = "06/12/2026 08:30:00";  // the story's morning, unless --now says otherwise

// Labels in a column of their own, so the eye can run down the kinds of effect.
class Narrator : public SessionReport {
 public:
  Narrator(std::string bannerFolder, std::string controlFolder)
      : bannerFolder_(std::move(bannerFolder)), controlFolder_(std::move(controlFolder)), color_(ColourOnStdout()) {}

  void HostCall(StringView member, CallKind kind, std::span<const Variant> args) override {
    if (kind == CallKind::kGet) return;  // the session reading the control's state is not a host call
    std::string text = ToUtf8(member);
    if (kind == CallKind::kPut) text += " = " + Value(args.empty() ? Variant() : args.back());
    else text += "(" + List(args) + ")";
    Say("host", text, kBold);
  }
  void PackageUpdated(bool usable, bool unpacked, int filesWritten) override {
    if (unpacked) Say("package", std::to_string(filesWritten) + " files unpacked from BVCRES.DLL into the banner folder");
    else if (usable) Say("package", "the banner folder is already at the library's version: nothing to unpack");
    else Say("package", "the package could not be used: banners are switched off");
  }
  void BannerChanged(const String& before, const String& after) override {
    if (after.empty()) Say("rules", "no banner now (was " + ToUtf8(before) + "): the default page comes back", kGreen);
    else if (before.empty()) Say("rules", "chose banner " + ToUtf8(after), kGreen);
    else Say("rules", "chose banner " + ToUtf8(after) + " in place of " + ToUtf8(before), kGreen);
  }
  void PageShown(StringView url, StringView title) override {
    if (url == u"about:blank") return;  // the control's first, empty page
    std::string text = Place(url);
    if (!title.empty()) text += "  \u00ab" + ToUtf8(title) + "\u00bb";
    Say("page", text);
  }
  void Navigate(StringView) override {}  // PageShown tells what arrived, with its title
  void Event(int id, StringView name, std::span<const Variant> question, const String* answer) override {
    std::string text = ToUtf8(name) + "(" + List(question) + ")";
    if (answer) text += "  host answers " + Value(Variant(*answer));
    Say("event", text, id == control::event_id::kOnClick ? kDim : kYellow);
  }
  void MessageBox(int styleCode, StringView title, StringView text) override {
    Say("box", "[" + ToUtf8(title) + "] " + OneLine(ToUtf8(text)), kYellow);
  }
  void Dialog(StringView name, const std::vector<String>& lines) override {
    Say("dialog", ToUtf8(name), kYellow);
    for (const auto& line : lines) Say("", "  " + Paths(ToUtf8(line)));
  }
  void ShellOpen(StringView target) override { Say("shell", "opens " + Place(target)); }
  void Spawn(const std::string& commandLine) override { Say("process", "starts " + Paths(commandLine)); }
  void Shortcut(StringView path, StringView target) override {
    Say("shortcut", Paths(ToUtf8(path)) + " -> " + Place(target));
  }
  void Trace(std::span<const Variant> values) override {
    // banner, action, parameter, then who: software, region, province, user, role
    std::string text;
    for (size_t i = 0; i < values.size() && i < 3; ++i)
      if (std::string v = ToUtf8(automation::ToString(values[i])); !v.empty()) text += (text.empty() ? "" : " ") + v;
    Say("trace", text, kDim);
  }
  void Echo(StringView text) override {
    std::printf("\n");
    for (const auto& line : Wrap(Printable(ToUtf8(text)), kWidth))
      std::printf("%s%s%s\n", Style(kItalic), line.c_str(), Style(kPlain));
    std::fflush(stdout);
  }
  void Finished(StringView iniFilePath) override {
    std::ifstream in(ToUtf8(iniFilePath), std::ios::binary);
    if (!in) return;
    std::printf("\nWhat the control remembers of this morning, in the doctor's settings file %s:\n",
                Paths(ToUtf8(iniFilePath)).c_str());
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::printf("    %s\n", Printable(automation::IsValidUtf8(line) ? line : ToUtf8(automation::FromCp1252(line))).c_str());
    }
  }

 private:
  enum Tone { kPlain, kBold, kDim, kItalic, kGreen, kYellow };

  const char* Style(Tone tone) const {
    static const char* const kCodes[] = {"\033[0m", "\033[1m", "\033[2m", "\033[3m", "\033[32m", "\033[33m"};
    return color_ ? kCodes[tone] : "";
  }
  void Say(const std::string& label, const std::string& text, Tone tone = kPlain) {
    std::printf("  %s%-9s%s %s%s%s\n", Style(kDim), label.c_str(), Style(kPlain), Style(tone), Printable(text).c_str(),
                Style(kPlain));
    std::fflush(stdout);
  }
  // The session's temporary folders, written by what they are.
  std::string Paths(std::string text) const {
    Replace(text, bannerFolder_, "<banner folder>");
    Replace(text, controlFolder_, "<control folder>");
    return text;
  }
  // A page or file address: banner pages by their file name, the rest with folders named.
  std::string Place(StringView url) const {
    std::string text = ToUtf8(url);
    const std::string local = "file://" + bannerFolder_ + "/";
    if (text.rfind(local, 0) == 0) return text.substr(local.size());
    return Paths(text);
  }
  std::string Value(const Variant& value) const {
    if (value.IsEmpty() || value.IsMissing()) return "(nothing)";
    if (value.IsObject()) return "<object>";
    if (value.IsString()) return "\"" + Paths(OneLine(ToUtf8(value.AsString()))) + "\"";
    if (value.type() == automation::VarType::Boolean) return value.AsBool() ? "True" : "False";
    return ToUtf8(automation::ToString(value));
  }
  std::string List(std::span<const Variant> values) const {
    std::string text;
    for (const auto& value : values) text += (text.empty() ? "" : ", ") + Value(value);
    return text;
  }
  static std::string OneLine(std::string text) {
    for (char& c : text)
      if (c == '\n' || c == '\r') c = ' ';
    return text;
  }
  static void Replace(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  }
  static std::vector<std::string> Wrap(const std::string& text, size_t width) {
    std::vector<std::string> lines(1);
    size_t begin = 0;
    while (begin < text.size()) {
      size_t end = text.find(' ', begin);
      if (end == std::string::npos) end = text.size();
      const std::string word = text.substr(begin, end - begin);
      if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width) lines.emplace_back();
      lines.back() += (lines.back().empty() ? "" : " ") + word;
      begin = end + 1;
    }
    return lines;
  }

  std::string bannerFolder_, controlFolder_;
  bool color_;
};

// The sample package and session: beside the tool in a build tree, or where they are installed.
std::string FindSample(const std::vector<fs::path>& candidates) {
  std::error_code ec;
  for (const auto& candidate : candidates)
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
  return {};
}

fs::path ToolFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
}

// The window demo: the host program with the control embedded, on the same package.
int OpenWindow(const std::string& package) {
  const std::string program = (ToolFolder() / "brevalcore-demo").string();
  const std::string folder = fs::path(package).parent_path().string();
  ::execl(program.c_str(), program.c_str(), "--banners", folder.c_str(), static_cast<char*>(nullptr));
  return Complain("demo", "cannot start " + program + " (build the brevalcore-demo target)", kExitFailed);
}

struct DemoCommand {
  SessionOptions options;
  bool gui = false;
};

int RunDemo(DemoCommand& command) {
  SessionOptions& options = command.options;
  const fs::path tools = ToolFolder();
  if (options.package.empty())
    options.package = FindSample({tools / "../samples/BVCRES.DLL", tools / "../share/brevalcore/BVCRES.DLL"});
  if (options.scriptPath.empty())
    options.scriptPath = FindSample({fs::path(BREVALCORE_SOURCE_DIR) / "samples/session.vbs",
                                     tools / "../share/brevalcore/session.vbs"});
  if (options.package.empty()) return Complain("demo", "no sample package found: build it, or give --package", kExitUsage);
  std::error_code ec;
  if (!fs::is_regular_file(options.package, ec))
    return Complain("demo", "--package: no package at " + options.package, kExitUsage);
  if (command.gui) return OpenWindow(options.package);
  if (options.scriptPath.empty()) return Complain("demo", "no sample session found: give --session", kExitUsage);
  if (const std::string problem = ReadScriptFile(options.scriptPath, options.code); !problem.empty())
    return Complain("demo", options.scriptPath + ": " + problem, kExitUsage);
  if (!options.now) options.now = automation::ParseDate(automation::FromUtf8(kSessionStart));
  CompleteFolders(options);

  const std::string bannerFolder = (fs::path(options.dataRoot) / "Brevalcore").string();
  std::printf("Brevalcore demo: one morning of prescriptions, played through the banner control.\n");
  std::printf("  package   %s, put in the control folder as a host installation does\n",
              fs::absolute(options.package).c_str());
  std::printf("  session   %s\n", options.scriptPath.c_str());
  std::printf("  folders   banner folder %s\n            control folder %s\n", bannerFolder.c_str(),
              options.controlDir.c_str());
  Narrator narrator(bannerFolder, options.controlDir);
  const int status = PlaySession(options, narrator, "demo");
  if (status == 0) std::printf("\nThe session is over. Its folders are kept for a look: %s and %s\n",
                               options.dataRoot.c_str(), options.controlDir.c_str());
  if (status == 0 && !options.traceDb.empty())
    std::printf("The traced events are records of %s: brevalcore trace report --db %s\n", options.traceDb.c_str(),
                options.traceDb.c_str());
  return status;
}

Runner DefineDemo(CLI::App& app) {
  auto c = std::make_shared<DemoCommand>();
  app.add_option("--session", c->options.scriptPath, "the session to play (the sample session by default)")
      ->type_name("FILE");
  AddSessionOptions(app, c->options);
  app.add_flag("--gui", c->gui, "open the demo window (brevalcore-demo) on the same package instead");
  return [c] { return RunDemo(*c); };
}

const SubcommandRegistration registration({
    "demo", "play the sample prescription session, narrated",
    "Installs the sample banner package (or --package) through the control's own package update\n"
    "and plays the sample session (the scenario language of `brevalcore run`), telling each host\n"
    "call, the banner the rules chose, each page, event, dialog and document. Colours only on a\n"
    "terminal and never with NO_COLOR. --trace-db FILE keeps each traced event as a record of\n"
    "FILE, as a host installation does.\n",
    DefineDemo});

}  // namespace
}  // namespace brevalcore::tools
