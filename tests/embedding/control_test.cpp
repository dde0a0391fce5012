// The C++ interface: failures as values (LastError, diagnostics with the script's position),
// InitializeContext false when the start fails, events with by-reference answers, a handler
// that calls back or destroys the control, and the host's clock.
#include "brevalcore/control.h"

#include <thread>

#include "tests/embedding/embedding_fixture.h"

namespace brevalcore::embedding_test {
namespace {

using namespace std::chrono;

struct Events : ControlEvents {
  std::vector<std::string> lines;
  std::function<void(std::string_view)> onExtended;
  void OnCommandClick(std::string_view command, std::string& param) override {
    lines.push_back("OnCommandClick " + std::string(command) + " " + param);
  }
  void OnCommandClickExtended(std::string_view command, std::string_view param, std::string_view) override {
    lines.push_back("OnCommandClickExtended " + std::string(command) + " " + std::string(param));
    if (onExtended) onExtended(param);
  }
  void OnRequiredDrugDescription(std::string_view aic, std::string& description) override {
    lines.push_back("OnRequiredDrugDescription " + std::string(aic));
    description = "Farmaco " + std::string(aic);
  }
  void OnClick(int button) override { lines.push_back("OnClick " + std::to_string(button)); }
};

class ControlApiTest : public EmbeddingTest {
 protected:
  std::unique_ptr<Control> Make() {
    ControlOptions options;
    options.controlFolder = Path("control");
    options.dataRoot = Path("data");
    options.clock = [] { return local_days{2024y / March / 5} + 9h + 30min; };
    std::string error;
    std::unique_ptr<Control> control = Control::Create(options, &error);
    EXPECT_TRUE(control) << error;
    control->SetEvents(&events_);
    control->SetDiagnosticsHandler([this](const Diagnostic& d) { diagnostics_.push_back(d); });
    return control;
  }
  bool Start(Control& control) {
    return control.InitializeContext(true, "HOST", "D1", "080", "101", "MG", true, Path("package"), "Software=ABC");
  }
  const Diagnostic* Find(DiagnosticKind kind) const {
    for (const Diagnostic& d : diagnostics_)
      if (d.kind == kind) return &d;
    return nullptr;
  }

  Events events_;
  std::vector<Diagnostic> diagnostics_;
};

TEST_F(ControlApiTest, AFailedStartIsFalseWithItsReasonAndPosition) {
  struct Row {
    const char* what;
    const char* script;  // null: no banner.script in the package
    DiagnosticKind kind;
    int number, line;
    const char* message;
  } rows[] = {
      {"missing script", nullptr, DiagnosticKind::Load, 53, 0,
       "Error 53 (File not found) in procedure Init of Controllo utente"},
      {"syntax error", "Sub BeforeInitialize\n  x = = 1\nEnd Sub\n", DiagnosticKind::Script, 1023, 2, "in procedure Init"},
      {"no BeforeInitialize", "Sub StartPrescription\nEnd Sub\n", DiagnosticKind::Script, 13, 0, "in procedure Init"},
      {"run-time error", "Sub BeforeInitialize\n  Dim a\n  a = 1 / 0\nEnd Sub\n", DiagnosticKind::Script, 11, 3,
       "Error 11 (Division by zero) in procedure Init"},
  };
  for (const Row& row : rows) {
    fs::remove_all(root_ / "source");
    fs::remove_all(root_ / "data");
    fs::create_directories(root_ / "data");
    Write("source/offline.html", "offline");
    if (row.script) Write("source/banner.script", row.script);
    Pack("source", "package");
    diagnostics_.clear();
    auto control = Make();
    EXPECT_FALSE(Start(*control)) << row.what;
    EXPECT_EQ(control->LastError().number, row.number) << row.what;
    EXPECT_NE(control->LastError().message.find(row.message), std::string::npos) << control->LastError().message;
    EXPECT_TRUE(control->IsInitialized()) << row.what;  // initialised, with banners off
    EXPECT_EQ(control->Fact("Application.EnableBanners"), "False") << row.what;
    const Diagnostic* d = Find(row.kind);
    ASSERT_TRUE(d) << row.what;
    EXPECT_EQ(d->procedure, "Init") << row.what;
    EXPECT_EQ(d->file, Path("data/Brevalcore/banner.script")) << row.what;
    if (row.line) {
      EXPECT_EQ(d->line, row.line) << row.what;
      EXPECT_GT(d->column, 0) << row.what;
    }
  }
}

TEST_F(ControlApiTest, AScriptErrorLaterIsToldButIsNoFailureOfTheCall) {
  Write("source/banner.script",
        "Sub BeforeInitialize\nEnd Sub\nSub StartPrescription\n  Err.Raise 5\nEnd Sub\nSub BeforeSelect\nEnd Sub\n"
        "Sub AfterSelect\nEnd Sub\n");
  Pack("source", "package");
  auto control = Make();
  ASSERT_TRUE(Start(*control));
  EXPECT_FALSE(control->LastError());
  const Diagnostic* update = Find(DiagnosticKind::PackageUpdate);
  ASSERT_TRUE(update);
  EXPECT_FALSE(update->error);
  EXPECT_EQ(update->message, "Banner package unpacked: 4");
  EXPECT_TRUE(control->StartPrescription());  // the contract's result: banners go off, the call succeeds
  EXPECT_FALSE(control->LastError());
  const Diagnostic* script = Find(DiagnosticKind::Script);
  ASSERT_TRUE(script);
  EXPECT_EQ(script->procedure, "OnStartPrescription");
  EXPECT_EQ(script->line, 4);
  EXPECT_EQ(control->Fact("Application.EnableBanners"), "False");
}

TEST_F(ControlApiTest, EventsCarryAnswersAndHandlersMayCallBack) {
  auto control = Make();
  ASSERT_TRUE(Start(*control));
  ASSERT_TRUE(control->StartPrescription());
  events_.onExtended = [&](std::string_view aic) {
    EXPECT_TRUE(control->AddDrugToPrescription({std::string(aic), "A", true, "", {1250}}));
    // A call that runs the script and navigates, from within the click.
    EXPECT_TRUE(control->PrescribingDrug({"aic7", "A", true, "", {}}));
  };
  EXPECT_TRUE(control->Click("#PRESCRIBE?aic1&aic2"));
  EXPECT_TRUE(control->Click("#PRESCRIBE?aic1?MODE=1"));
  EXPECT_EQ(events_.lines,
            (std::vector<std::string>{"OnRequiredDrugDescription aic1", "OnRequiredDrugDescription aic2", "OnClick 1",
                                      "OnCommandClickExtended PRESCRIBE aic1", "OnClick 1"}));
  EXPECT_EQ(control->Page(), "file://" + Path("data/Brevalcore/B7.html"));  // chosen by the call from the event
  EXPECT_TRUE(control->SetCurrentPrescriptionDrug("aic1"));
  EXPECT_EQ(control->CurrentPrescriptionDrug(), "aic1");
  EXPECT_FALSE(control->Click("#NOWHERE"));
  EXPECT_NE(control->LastError().message.find("no link with href \"#NOWHERE\""), std::string::npos);
}

TEST_F(ControlApiTest, AHandlerMayDestroyTheControl) {
  auto control = Make();
  ASSERT_TRUE(Start(*control));
  ASSERT_TRUE(control->StartPrescription());
  Control* raw = control.get();
  events_.onExtended = [&](std::string_view) { control.reset(); };
  EXPECT_TRUE(raw->Click("#PRESCRIBE?aic1?MODE=1"));  // returns into a control that is going
  EXPECT_EQ(events_.lines, (std::vector<std::string>{"OnCommandClickExtended PRESCRIBE aic1"}));
}

TEST_F(ControlApiTest, TheHostsClockDatesTheHistory) {
  auto control = Make();
  ASSERT_TRUE(Start(*control));
  ASSERT_TRUE(control->StartPrescription());
  EXPECT_NE(Read("control/BVC_D1.INI").find("DATA=05/03/2024 09:30:00"), std::string::npos) << Read("control/BVC_D1.INI");
}

TEST_F(ControlApiTest, MisuseIsRefusedWithAReason) {
  auto control = Make();
  struct Row {
    const char* what;
    std::function<bool()> call;
    int number;
    const char* message;
  } rows[] = {
      {"text not UTF-8", [&] { return control->RemoveDrugFromPrescription("\xff"); }, 5,
       "RemoveDrugFromPrescription: argument sAIC is not valid UTF-8"},
      {"impossible date", [&] { return control->SetPatient("M", 2023y / February / 29, true, ""); }, 5,
       "SetPatient: argument dBirthDate is not a date"},
      {"price out of range", [&] { return control->AddDrugToPrescription({"a", "A", true, "", {INT64_MAX}}); }, 6,
       "argument nPrice is out of range"},
      {"fact path", [&] { return control->SetFact("Doctor", "x"); }, 438, "names no fact"},
      {"another thread",
       [&] {
         bool result = true;
         std::string message;
         std::thread([&] {
           result = control->StartPrescription();
           message = control->LastError().message;
         }).join();
         EXPECT_NE(message.find("from a thread other than"), std::string::npos) << message;
         return result;
       },
       0, ""},
  };
  for (const Row& row : rows) {
    EXPECT_FALSE(row.call()) << row.what;
    if (!row.number) continue;
    EXPECT_EQ(control->LastError().number, row.number) << row.what;
    EXPECT_NE(control->LastError().message.find(row.message), std::string::npos) << control->LastError().message;
  }
  std::string error;
  ControlOptions options;
  options.dataRoot = Path("nowhere");
  EXPECT_FALSE(Control::Create(options, &error));
  EXPECT_EQ(error, "the data root \"" + Path("nowhere") + "\" is not a folder");
}

}  // namespace
}  // namespace brevalcore::embedding_test
