#pragma once
// The demo host: a small window in the role of the prescription program, with a patient, a
// drug list, the start and end of a prescription, the banner control embedded, and a log of
// every event the control raises. It answers the control's questions (drug descriptions,
// template fields) from a small drug catalogue and prescribes the drugs a banner asks for.
#include <map>
#include <string>

#include "tools/demo/banner_widget.h"
#include "tools/demo/demo_setup.h"

namespace brevalcore::demo {

struct DemoOptions {
  std::string doctor = "DEMO01";
  std::string region = "080";
  std::string screenshot;  // when set: save the window as PNG once a banner shows, then quit
};

class DemoWindow : public automation::EventSink {
 public:
  DemoWindow(const DemoFolders& folders, DemoOptions options);
  ~DemoWindow() override;

  GtkWidget* Window() const { return window_; }
  BannerWidget& Banner() { return banner_; }
  // Initialises the control, sets the demo patient and starts a prescription.
  void Start();
  // The log's text, one event a line.
  std::string LogText() const;

  void OnEvent(automation::DispId id, automation::StringView name, std::span<automation::Variant> args) override;

  struct Signals;

 private:
  void Log(const std::string& line);
  void SetPatient();
  void AddDrug(const std::string& aic);
  void RemoveSelectedDrug();
  std::string Describe(const std::string& aic) const;

  DemoFolders folders_;
  DemoOptions options_;
  BannerWidget banner_;
  std::map<std::string, std::string> catalogue_;
  GtkWidget* window_ = nullptr;
  GtkWidget* name_ = nullptr;
  GtkWidget* sex_ = nullptr;
  GtkWidget* birth_ = nullptr;
  GtkWidget* ssn_ = nullptr;
  GtkWidget* aic_ = nullptr;
  GtkWidget* drugs_ = nullptr;
  GtkWidget* log_ = nullptr;
  bool selecting_ = false;
};

}  // namespace brevalcore::demo
