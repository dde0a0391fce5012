#pragma once
// A control wired to fakes: headless browser, scripted user interface, fixed clock, recording
// shell, a stand-in script engine whose procedures the test defines, and a package update that
// leaves the banner folder as the test wrote it. Events reach a recording sink.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "control/banner_control.h"
#include "platform/browser/headless_browser.h"
#include "platform/ui/scripted_ui.h"
#include "storage/ini_file.h"

namespace brevalcore::control::testing {

namespace fs = std::filesystem;
using automation::FromUtf8;
using automation::ToUtf8;

// What the stand-in engines of one control have seen, and what their procedures do.
struct ScriptWorld {
  int engines = 0;
  int resets = 0;
  std::vector<std::string> statements;  // every ExecuteStatement, in order
  std::map<std::string, std::function<void()>> procedures;  // Sub name -> body
  std::vector<std::string> objects;
};

// Knows the procedures of ScriptWorld that the loaded code declares with "Sub Name"; a code
// containing "SYNTAX ERROR" fails to compile.
class FakeScriptHost : public script::ScriptHost {
 public:
  explicit FakeScriptHost(ScriptWorld& world) : world_(world) { ++world_.engines; }
  void SetLanguage(StringView language) override { language_ = ToUtf8(language); }
  void Reset() override {
    ++world_.resets;
    code_.clear();
    world_.objects.clear();
  }
  void AddObject(StringView name, Ref<automation::Object> object, bool) override {
    world_.objects.push_back(ToUtf8(name) + ":" + ToUtf8(object->TypeName()));
  }
  void AddCode(StringView code) override {
    if (language_.empty()) throw script::ScriptError(17, u"", u"Can't perform requested operation");
    code_ += ToUtf8(code);
    if (code_.find("SYNTAX ERROR") != std::string::npos)
      throw script::ScriptError(1002, u"Microsoft VBScript compilation error", u"Syntax error", 3, 1);
  }
  void ExecuteStatement(StringView statement) override {
    const std::string name = ToUtf8(statement);
    world_.statements.push_back(name);
    if (language_.empty()) throw script::ScriptError(17, u"", u"Can't perform requested operation");
    if (code_.find("Sub " + name) == std::string::npos)
      throw script::ScriptError(35, u"Microsoft VBScript runtime error", u"Sub or Function not defined");
    if (auto it = world_.procedures.find(name); it != world_.procedures.end() && it->second) it->second();
  }
  Variant Eval(StringView) override { return Variant(); }
  void SetTimeout(std::chrono::milliseconds) override {}

 private:
  ScriptWorld& world_;
  std::string language_;
  std::string code_;
};

struct EventLog : automation::EventSink {
  std::vector<std::string> lines;
  std::function<void(automation::DispId, std::span<Variant>)> answer;
  void OnEvent(automation::DispId id, StringView name, std::span<Variant> args) override {
    if (answer) answer(id, args);
    std::string line = ToUtf8(name);
    for (const auto& arg : args) line += " " + ToUtf8(automation::ToString(arg));
    lines.push_back(line);
  }
};

inline constexpr char kFullScript[] =
    "Sub BeforeInitialize\nEnd Sub\nSub StartPrescription\nEnd Sub\n"
    "Sub BeforeSelect\nEnd Sub\nSub AfterSelect\nEnd Sub\n";

inline constexpr char16_t kDefaultPage[] = u"https://servizi.example/home";

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("bvc-control-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    bannerFolder_ = root_ / "data" / "Brevalcore";
    controlFolder_ = root_ / "control";
    fs::create_directories(bannerFolder_);
    fs::create_directories(controlFolder_);
    ::setenv("BREVALCORE_COMMON_APPDATA", (root_ / "data").c_str(), 1);
    ::setenv("BREVALCORE_CONTROL_DIR", controlFolder_.c_str(), 1);
    WriteBannerFile("banner.script", kFullScript);
    WriteBannerFile("offline.html", "<html><body>offline</body></html>");
    WriteBannerFile("B12.html", "<html><body><a id=p href='#PRESCRIBE?aic1'>Prescrivi</a></body></html>");
    factories_.Register(u"BVCTracing.Tracing", [] { return Ref<automation::Object>(); });
    // The script's default page, reachable unless a test says otherwise.
    world_.procedures["BeforeInitialize"] = [this] { control_->context()->SetServiziTirsaPage(kDefaultPage); };
    browser_.DeclareReachable(kDefaultPage);
    storage::ClearIniCache();
  }
  void TearDown() override {
    control_.reset();
    fs::remove_all(root_);
  }

  void WriteBannerFile(const std::string& name, const std::string& text) {
    std::ofstream(bannerFolder_ / name, std::ios::binary) << text;
  }

  BrevalcoreBanner& Control() {
    if (!control_) {
      ControlServices services;
      services.browser = &browser_;
      services.ui = &ui_;
      services.clock = &clock_;
      services.shell = &shell_;
      services.factories = &factories_;
      services.controlFolder = controlFolder_.string();
      services.scriptHosts = [this](script::ScriptServices) { return std::make_unique<FakeScriptHost>(world_); };
      services.packageUpdate = [this](const packages::UpdateRequest&, packages::UpdateServices&) { return update_; };
      control_ = automation::MakeRef<BrevalcoreBanner>(std::move(services));
      control_->Connect(&events_);
    }
    return *control_;
  }

  // InitializeContext for doctor D1 with banners on unless said otherwise.
  bool Start(bool bannersOn = true, String remoteParameters = u"Serial_Number=123&Software=ABC&Versione=2.1") {
    return Control().InitializeContext(bannersOn, u"APP", u"D1", u"080", u"101", u"MG", true, u"", remoteParameters);
  }

  std::string IniPath() const { return (controlFolder_ / "BVC_D1.INI").string(); }
  std::string Ini(StringView section, StringView key) const { return ToUtf8(storage::ReadIni(IniPath(), section, key)); }
  std::string Url(const std::string& file) const { return "file://" + (bannerFolder_ / file).string(); }
  std::vector<std::string> Navigations() const {
    std::vector<std::string> out;
    for (const auto& n : browser_.navigations()) out.push_back(ToUtf8(n));
    return out;
  }
  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& shown : ui_.shown())
      if (shown.kind == u"msgbox") out.push_back(ToUtf8(shown.text));
    return out;
  }
  void ChooseBanner(const std::string& procedure, String banner) {
    world_.procedures[procedure] = [this, banner] { control_->context()->SetBanner(banner); };
  }

  fs::path root_, bannerFolder_, controlFolder_;
  browser::HeadlessBrowser browser_;
  ui::ScriptedUserInterface ui_;
  shell::FixedClock clock_{shell::MakeDate({2026, 12, 6, 9, 30, 0})};
  shell::RecordingShellOpener shell_;
  automation::ObjectFactories factories_;
  ScriptWorld world_;
  packages::UpdateOutcome update_{true, false, false, 0};
  EventLog events_;
  Ref<BrevalcoreBanner> control_;
};

}  // namespace brevalcore::control::testing
