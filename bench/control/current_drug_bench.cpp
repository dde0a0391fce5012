// One change of CurrentPrescriptionDrug (BeforeSelect, then AfterSelect) on the real engine
// and rule objects: a 300-rule script over a doctor's INI file of 100,000 keys, beside an empty
// script in the same run. Each rule tests the drug first and reads the banner history only
// when the drug matches, as rule scripts are written. Reports the median (p50_us) and p99.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/banner_control.h"
#include "platform/browser/headless_browser.h"
#include "platform/ui/scripted_ui.h"
#include "storage/ini_file.h"

namespace {

namespace fs = std::filesystem;
using namespace brevalcore;

constexpr int kRules = 300;
constexpr int kIniSections = 1000;
constexpr int kKeysPerSection = 100;  // 100,000 keys in all

std::string RuleScript() {
  std::ostringstream s;
  s << "Sub BeforeInitialize\n  DefaultEmptyPage = \"https://servizi.example/home\"\nEnd Sub\n"
    << "Sub StartPrescription\nEnd Sub\n";
  for (const char* procedure : {"BeforeSelect", "AfterSelect"}) {
    s << "Sub " << procedure << "\n";
    for (int r = 0; r < kRules / 2; ++r) {
      const int n = (procedure[0] == 'B' ? 0 : kRules / 2) + r;
      s << "  If PrescribedProductCodeIs(\"" << 100000000 + n << "\") Then\n"
        << "    If Not BannerAlreadyShownToday(\"B" << n << "\") Then ShowBanner \"B" << n << "\"\n"
        << "  End If\n";
    }
    // The two drugs the benchmark alternates between match this rule of every run.
    s << "  If PrescribedProductCodeIs(\"900000001|900000002\") Then\n"
      << "    If GetBannerKeyData(\"B7\", \"K42\") <> \"\" And Not BannerAlreadyShownToday(\"B7\") Then ShowBanner \"B7\"\n"
      << "  End If\n";
    s << "End Sub\n";
  }
  return s.str();
}

constexpr char kEmptyScript[] =
    "Sub BeforeInitialize\nEnd Sub\nSub StartPrescription\nEnd Sub\nSub BeforeSelect\nEnd Sub\nSub AfterSelect\nEnd Sub\n";

void WriteHistory(const fs::path& ini) {
  std::ofstream out(ini, std::ios::binary);
  for (int s = 0; s < kIniSections; ++s) {
    out << "[B" << s << "]\r\n";
    for (int k = 0; k < kKeysPerSection; ++k) out << "K" << k << "=" << s * kKeysPerSection + k << "\r\n";
  }
}

struct Bench {
  fs::path root;
  browser::HeadlessBrowser browser;
  ui::ScriptedUserInterface ui;
  automation::Ref<control::BrevalcoreBanner> control;

  explicit Bench(const std::string& script) {
    root = fs::temp_directory_path() / ("bvc-bench-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "data" / "Brevalcore");
    fs::create_directories(root / "control");
    ::setenv("BREVALCORE_COMMON_APPDATA", (root / "data").c_str(), 1);
    ::setenv("BREVALCORE_CONTROL_DIR", (root / "control").c_str(), 1);
    std::ofstream(root / "data" / "Brevalcore" / "banner.script", std::ios::binary) << script;
    std::ofstream(root / "data" / "Brevalcore" / "B7.html") << "<html><body>B7</body></html>";
    WriteHistory(root / "control" / "BVC_D1.INI");
    storage::ClearIniCache();
    browser.DeclareReachable(u"https://servizi.example/");
    control::ControlServices services;
    services.browser = &browser;
    services.ui = &ui;
    services.controlFolder = (root / "control").string();
    services.packageUpdate = [](const packages::UpdateRequest&, packages::UpdateServices&) {
      return packages::UpdateOutcome{true, false, false, 0};
    };
    control = automation::MakeRef<control::BrevalcoreBanner>(std::move(services));
    control->InitializeContext(true, u"APP", u"D1", u"080", u"101", u"MG", true, u"", u"Software=ABC");
    control->AddDrugToPrescription(u"900000001", u"A", true, u"x", {});
    control->AddDrugToPrescription(u"900000002", u"A", true, u"y", {});
    control->SetCurrentPrescriptionDrug(u"900000001");  // first show of B7, then steady state
    browser.RunMessageLoop();
  }
  ~Bench() {
    control.reset();
    fs::remove_all(root);
  }
};

void Run(benchmark::State& state, const std::string& script) {
  Bench bench(script);
  if (!bench.control->Application()->EnableBanners()) {
    state.SkipWithError("the script did not start");
    return;
  }
  std::vector<double> micros;
  micros.reserve(1 << 16);
  bool second = false;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    bench.control->SetCurrentPrescriptionDrug(second ? u"900000002" : u"900000001");
    const auto end = std::chrono::steady_clock::now();
    second = !second;
    micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
  std::sort(micros.begin(), micros.end());
  if (!micros.empty()) {
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  }
  if (!bench.control->Application()->EnableBanners()) state.SkipWithError("the script failed during the run");
}

void BM_CurrentDrugChange_EmptyScript(benchmark::State& state) { Run(state, kEmptyScript); }
void BM_CurrentDrugChange_300Rules_100kIni(benchmark::State& state) { Run(state, RuleScript()); }

BENCHMARK(BM_CurrentDrugChange_EmptyScript)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CurrentDrugChange_300Rules_100kIni)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
