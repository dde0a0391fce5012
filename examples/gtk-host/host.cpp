// A GTK host: a prescription window with the banner widget beside two buttons, the host side
// of the demo reduced to what embedding needs. The control's events are printed; a PRESCRIBE
// link adds the drug to the prescription from within the event, as a real host does.
//
//   gtk-host CONTROL_DIR DATA_ROOT PACKAGE_DIR
#include <gtk/gtk.h>

#include <cstdio>
#include <memory>
#include <string>

#include <brevalcore/gtk.h>

namespace {

class Host : public brevalcore::ControlEvents {
 public:
  explicit Host(brevalcore::Control& control) : control_(control) {}

  void OnCommandClickExtended(std::string_view command, std::string_view param, std::string_view options) override {
    std::printf("%.*s %.*s (%.*s)\n", int(command.size()), command.data(), int(param.size()), param.data(),
                int(options.size()), options.data());
    if (command.substr(0, 9) == "PRESCRIBE") control_.AddDrugToPrescription({std::string(param), "A", true, "", {1250}});
  }
  void OnCommandClick(std::string_view command, std::string& param) override {
    std::printf("%.*s %s\n", int(command.size()), command.data(), param.c_str());
  }
  void OnRequiredDrugDescription(std::string_view aic, std::string& description) override {
    description = "Drug " + std::string(aic);  // the host's drug database would answer here
  }
  void OnClick(int button) override { std::printf("click %d\n", button); }

 private:
  brevalcore::Control& control_;
};

void OnStart(GtkButton*, gpointer control) { static_cast<brevalcore::Control*>(control)->StartPrescription(); }
void OnEnd(GtkButton*, gpointer control) { static_cast<brevalcore::Control*>(control)->EndPrescription(); }

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s CONTROL_DIR DATA_ROOT PACKAGE_DIR\n", argv[0]);
    return 2;
  }
  brevalcore::ControlOptions options;
  options.controlFolder = argv[1];
  options.dataRoot = argv[2];
  std::string error;
  std::unique_ptr<brevalcore::gtk::BannerWidget> banner = brevalcore::gtk::BannerWidget::Create(options, &error);
  if (!banner) {
    std::fprintf(stderr, "no control: %s\n", error.c_str());
    return 1;
  }
  brevalcore::Control& control = banner->Control();
  Host host(control);
  control.SetEvents(&host);
  control.SetDiagnosticsHandler([](const brevalcore::Diagnostic& d) { std::printf("%s\n", d.message.c_str()); });

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Prescrizione");
  gtk_window_set_default_size(GTK_WINDOW(window), 900, 420);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
  GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
  GtkWidget* start = gtk_button_new_with_label("Nuova ricetta");
  GtkWidget* end = gtk_button_new_with_label("Fine ricetta");
  g_signal_connect(start, "clicked", G_CALLBACK(OnStart), &control);
  g_signal_connect(end, "clicked", G_CALLBACK(OnEnd), &control);
  gtk_box_pack_start(GTK_BOX(buttons), start, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(buttons), end, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), banner->Widget(), TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  gtk_widget_show_all(window);

  control.InitializeContext(true, "HOST", "D1", "080", "101", "MG", true, argv[3],
                            "Serial_Number=123&Software=ABC&Versione=2.1");
  control.SetFact("Patient.Name", "Mario Rossi");
  control.SetPatient("M", std::chrono::year_month_day{std::chrono::year{1950}, std::chrono::April, std::chrono::day{12}},
                     true, "401.9");
  gtk_main();
  control.Destroy();
  return 0;
}
