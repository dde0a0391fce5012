#pragma once
// cContext: the one shared context of a control instance. The control hands the same instance
// to Actions, Conditions and Commands; it holds the chosen banner, the banner folder, the
// default page, the offline flag and the fact root. Besides its automation members it carries
// the clock every "today" and "now" of the banner history comes from, the control's folder
// (where the doctor's profile file and the trace database live) and where failures that the
// rule objects swallow are reported.
#include <string>

#include "platform/shell/clock.h"
#include "rules/diagnostics.h"
#include "rules/facts.h"

namespace brevalcore::rules {

class cContext : public automation::DispatchObject<cContext> {
 public:
  static const ClassInfo& Class();

  cContext();

  String Banner() const { return banner_; }
  void SetBanner(const String& v) { banner_ = v; }
  String PathTempBanner() const { return pathTempBanner_; }
  void SetPathTempBanner(const String& v) { pathTempBanner_ = v; }
  String ServiziTirsaPage() const { return defaultPage_; }
  void SetServiziTirsaPage(const String& v) { defaultPage_ = v; }
  bool Offline() const { return offline_; }
  void SetOffline(bool v) { offline_ = v; }
  Ref<Facts> CurrentFacts() const { return facts_; }
  // Facts assigned here learn the context's control folder (for ResBannerPath's default).
  void SetCurrentFacts(Ref<Facts> v);

  // Not part of the automation interface. The clock is borrowed and must outlive the context.
  const shell::Clock& clock() const { return *clock_; }
  void set_clock(const shell::Clock* clock) { clock_ = clock ? clock : &shell::SystemClock::Instance(); }
  // The folder of the control this context belongs to; empty: the process-wide control folder.
  const std::string& control_folder() const { return controlFolder_; }
  void set_control_folder(std::string folder);
  // Failures the rule objects swallow (a lost trace) go here as well; none by default.
  void set_diagnostics(DiagnosticSink sink) { diagnostics_ = std::move(sink); }
  void Report(const Diagnostic& diagnostic) const {
    if (diagnostics_) diagnostics_(diagnostic);
  }

 private:
  String banner_, pathTempBanner_, defaultPage_;
  bool offline_ = false;
  Ref<Facts> facts_;
  const shell::Clock* clock_;
  std::string controlFolder_;
  DiagnosticSink diagnostics_;
};

}  // namespace brevalcore::rules
