#pragma once
// A control stand-in for the command tests: every call the commands make is logged as one
// line of text, the doctor's INI file is kept in memory, and the dialogs answer from the
// scripted user interface's queue.
#include <map>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "platform/automation/error.h"
#include "platform/automation/factory.h"
#include "platform/browser/browser_host.h"
#include "platform/shell/clock.h"
#include "platform/shell/shell_open.h"
#include "platform/ui/scripted_ui.h"

namespace brevalcore::commands::testing {

using automation::String;
using automation::StringView;

inline std::string U8(StringView s) { return automation::ToUtf8(s); }
inline String U16(std::string_view s) { return automation::FromUtf8(s); }

class FakeBrowser : public browser::BrowserHost {
 public:
  explicit FakeBrowser(std::vector<std::string>& log) : log_(log) {}
  void SetEvents(browser::BrowserEvents*) override {}
  void Navigate(StringView) override {}
  void SetSilent(bool) override {}
  bool HasDocument() const override { return true; }
  String DocumentUrl() const override { return {}; }
  void RemoveBodyBorderAndScrollBars() override {}
  void Refresh() override { log_.push_back("refresh"); }
  void SetVisible(bool) override {}
  bool IsVisible() const override { return true; }
  void Resize(int, int) override {}
  void DoYield() override {}
  void FocusHolder() override {}
  void SendFocusBackThenForward() override {}

 private:
  std::vector<std::string>& log_;
};

class LoggingOpener : public shell::ShellOpener {
 public:
  explicit LoggingOpener(std::vector<std::string>& log) : log_(log) {}
  void Open(StringView target) override { log_.push_back("open " + U8(target)); }

 private:
  std::vector<std::string>& log_;
};

// The element under the mouse: a tag, an optional href, its text; clicks are logged.
class FakeElement : public browser::Element {
 public:
  FakeElement(std::string tag, const char* href, std::string text, std::vector<std::string>& log,
              bool clickFails = false)
      : tag_(std::move(tag)), hasHref_(href != nullptr), href_(href ? href : ""), text_(std::move(text)),
        log_(log), clickFails_(clickFails) {}
  String TagName() const override { return automation::ToUpper(U16(tag_)); }
  String GetAttribute(StringView name) const override { return name == u"href" ? U16(href_) : String(); }
  bool HasAttribute(StringView name) const override { return name == u"href" && hasHref_; }
  String Hash() const override {
    if (tag_ != "a") return {};
    const size_t hash = href_.find('#');
    return hash == std::string::npos || hash + 1 == href_.size() ? String() : U16(href_.substr(hash));
  }
  String InnerText() const override { return U16(text_); }
  String Id() const override { return {}; }
  void Click() override {
    log_.push_back("click");
    if (clickFails_) throw automation::AutomationError(438);
  }

 private:
  std::string tag_;
  bool hasHref_;
  std::string href_;
  std::string text_;
  std::vector<std::string>& log_;
  bool clickFails_;
};

class FakeHost : public CommandHost {
 public:
  FakeHost() : browser_(log), opener_(log) {}

  // ---- what a test sets
  bool initialized = true;
  bool loading = false;
  bool bannersEnabled = true;
  String banner = u"B1";
  String bannerFolder;
  String controlFolder;
  String currentDrug, prescribingAic;
  String patientName = u"Paziente Prova", doctorName = u"Dott. Rossi", doctorStamp = u"Timbro";
  std::map<String, String> descriptions;  // answers to OnRequiredDrugDescription
  std::map<String, String> fields;        // answers to OnRequiredField
  std::map<String, std::vector<std::pair<String, String>>> ini;
  ui::ScriptedUserInterface ui;
  shell::FixedClock clock{shell::MakeDate({2026, 12, 4, 10, 30, 0})};
  automation::ObjectFactories factories;
  std::vector<std::string> log;

  // ---- CommandHost
  rules::cContext& Context() override { throw std::logic_error("no context in tests"); }
  bool IsInitialized() const override { return initialized; }
  bool IsLoadingItems() const override { return loading; }
  String Banner() override { return banner; }
  String BannerFolder() override { return bannerFolder; }
  String CurrentDrug() override { return currentDrug; }
  String PrescribingDrugAic() override { return prescribingAic; }
  String PatientName() override { return patientName; }
  String DoctorName() override { return doctorName; }
  String DoctorStamp() override { return doctorStamp; }
  bool BannersEnabled() override { return bannersEnabled; }
  String IniFilePath() override { return u"/nowhere/BVC_TEST.INI"; }
  String ShellWorkingFolder() override { return controlFolder; }

  String ReadIni(StringView section, StringView key) override {
    for (const auto& [k, v] : ini[String(section)])
      if (automation::EqualsNoCase(k, key)) return v;
    return {};
  }
  void WriteIni(StringView section, StringView key, StringView value) override {
    auto& entries = ini[String(section)];
    for (auto& [k, v] : entries)
      if (automation::EqualsNoCase(k, key)) { v = String(value); return; }
    entries.emplace_back(String(key), String(value));
  }
  String ReadIniSection(StringView section) override {
    String text;
    for (const auto& [k, v] : ini[String(section)]) text += k + u"=" + v + u'\0';
    return text;
  }
  void WriteIniSection(StringView section, StringView entries) override {
    auto& out = ini[String(section)];
    out.clear();
    size_t start = 0;
    while (start < entries.size()) {
      size_t end = entries.find(u"\r\n", start);
      if (end == StringView::npos) end = entries.size();
      const StringView line = entries.substr(start, end - start);
      const size_t eq = line.find(u'=');
      if (eq != StringView::npos) out.emplace_back(String(line.substr(0, eq)), String(line.substr(eq + 1)));
      start = end + 2;
    }
    log.push_back("write section " + U8(section));
  }

  void IncrementBannerCounter(StringView word) override { log.push_back("count " + U8(word)); }
  void TraceBannerAction(StringView word, StringView param) override {
    log.push_back("trace " + U8(word) + " " + U8(param));
  }
  void WriteBannerKeyData(StringView key, StringView value) override {
    log.push_back("keydata " + U8(key) + "=" + U8(value));
  }
  void WriteBannerPatientKeyData(StringView key, StringView value) override {
    log.push_back("patientkeydata " + U8(key) + "=" + U8(value));
  }
  // A left mouse-down on an anchor with this href and text.
  void ClickAnchor(const char* href, std::string text = {}) {
    OnDocumentMouseDown(*this, browser::mouse::kLeft, std::make_shared<FakeElement>("a", href, std::move(text), log));
  }
  String MakeTempFileName(StringView fileName) override { return bannerFolder + u"/TEMP/~T_" + String(fileName); }

  void RaiseOnCommandClick(StringView command, String& param) override {
    log.push_back("OnCommandClick " + U8(command) + " " + U8(param));
    param = u"ignored";
  }
  void RaiseOnCommandClickExtended(StringView command, StringView param, StringView options) override {
    log.push_back("OnCommandClickExtended " + U8(command) + " " + U8(param) + " " + U8(options));
  }
  void RaiseOnRequiredDrugDescription(StringView aic, String& description) override {
    if (auto it = descriptions.find(String(aic)); it != descriptions.end()) description = it->second;
  }
  void RaiseOnClick(int16_t button) override { log.push_back("OnClick " + std::to_string(button)); }
  void RaiseOnRequiredField(StringView fieldName, String& fieldValue) override {
    log.push_back("OnRequiredField " + U8(fieldName));
    if (auto it = fields.find(String(fieldName)); it != fields.end()) fieldValue = it->second;
  }

  ui::UserInterface& Ui() override { return ui; }
  browser::BrowserHost& Browser() override { return browser_; }
  void GotFocusStep() override { log.push_back("gotfocus"); }
  const shell::Clock& Clock() override { return clock; }
  shell::ShellOpener& Shell() override { return opener_; }
  automation::ObjectFactories& Factories() override { return factories; }

 private:
  FakeBrowser browser_;
  LoggingOpener opener_;
};

}  // namespace brevalcore::commands::testing
