#include "tools/demo/demo_window.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "platform/automation/convert.h"
#include "platform/shell/clock.h"

namespace brevalcore::demo {

using automation::FromUtf8;
using automation::String;
using automation::ToUtf8;
using automation::Variant;

namespace {

// The host program's own texts.
namespace text {
constexpr char kTitle[] = "Prescrizione - demo Brevalcore";
constexpr char kPatient[] = "Paziente";
constexpr char kName[] = "Nome";
constexpr char kSex[] = "Sesso";
constexpr char kBirth[] = "Nato il (gg/mm/aaaa)";
constexpr char kSsn[] = "Esente SSN";
constexpr char kSetPatient[] = "Imposta paziente";
constexpr char kPrescription[] = "Prescrizione";
constexpr char kStart[] = "Inizia prescrizione";
constexpr char kEnd[] = "Termina prescrizione";
constexpr char kAic[] = "Codice AIC";
constexpr char kAdd[] = "Aggiungi";
constexpr char kRemove[] = "Rimuovi";
constexpr char kEvents[] = "Eventi del controllo";
constexpr char kUnknownDrug[] = "Farmaco ";
}  // namespace text

constexpr char kApplicationCode[] = "DEMO";
constexpr char kRemoteParameters[] = "Serial_Number=000123&Software=DEMO&Versione=1.0";
constexpr int kBannerWidth = 380;

std::string Argument(const Variant& value) {
  try {
    return ToUtf8(automation::ToString(value));
  } catch (...) {
    return "?";
  }
}

std::vector<std::string> SplitCodes(const std::string& codes) {
  std::vector<std::string> result;
  size_t begin = 0;
  while (begin <= codes.size()) {
    const size_t end = std::min(codes.find('&', begin), codes.size());
    if (end > begin) result.push_back(codes.substr(begin, end - begin));
    begin = end + 1;
  }
  return result;
}

GtkWidget* Frame(const char* title, GtkWidget* child) {
  GtkWidget* frame = gtk_frame_new(title);
  gtk_container_set_border_width(GTK_CONTAINER(child), 6);
  gtk_container_add(GTK_CONTAINER(frame), child);
  return frame;
}

GtkWidget* Button(const char* label, GCallback callback, gpointer data) {
  GtkWidget* button = gtk_button_new_with_label(label);
  g_signal_connect_swapped(button, "clicked", callback, data);
  return button;
}

}  // namespace

// Every signal of the window, each a one-line translation into a host action.
struct DemoWindow::Signals {
  static void SetPatient(DemoWindow* self) { self->SetPatient(); }
  static void Start(DemoWindow* self) {
    self->Log("> StartPrescription");
    self->banner_.Control().StartPrescription();
  }
  static void End(DemoWindow* self) {
    self->Log("> EndPrescription");
    self->banner_.Control().EndPrescription();
    gtk_list_store_clear(GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(self->drugs_))));
  }
  static void Add(DemoWindow* self) { self->AddDrug(gtk_entry_get_text(GTK_ENTRY(self->aic_))); }
  static void Remove(DemoWindow* self) { self->RemoveSelectedDrug(); }
  static void SelectionChanged(GtkTreeSelection* selection, DemoWindow* self) {
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (self->selecting_ || !gtk_tree_selection_get_selected(selection, &model, &iter)) return;
    gchar* aic = nullptr;
    gtk_tree_model_get(model, &iter, 0, &aic, -1);
    self->Log(std::string("> CurrentPrescriptionDrug = ") + aic);
    self->banner_.Control().SetCurrentPrescriptionDrug(FromUtf8(aic));
    g_free(aic);
  }
  // The host acts on the control's requests after the event has returned, as a host that
  // posts itself a message would.
  static gboolean Prescribe(gpointer data) {
    auto* request = static_cast<std::pair<DemoWindow*, std::string>*>(data);
    for (const std::string& aic : SplitCodes(request->second)) request->first->AddDrug(aic);
    delete request;
    return G_SOURCE_REMOVE;
  }
};

namespace {
// A banner folder copied into place needs no unpacking; a resource library gets the real update.
control::ControlServices DemoServices(const DemoFolders& folders) {
  control::ControlServices services;
  if (folders.bannerLibrary.empty())
    services.packageUpdate = [](const packages::UpdateRequest&, packages::UpdateServices&) {
      packages::UpdateOutcome outcome;
      outcome.usable = true;
      return outcome;
    };
  return services;
}
}  // namespace

DemoWindow::DemoWindow(const DemoFolders& folders, DemoOptions options)
    : folders_(folders), options_(std::move(options)), banner_(DemoServices(folders)) {
  catalogue_ = {{"012745093", "Amoxicillina 1 g compresse"}, {"025300051", "Omeprazolo 20 mg capsule"},
                {"034329029", "Atorvastatina 20 mg compresse"}, {"027772028", "Ramipril 5 mg compresse"},
                {"aic1", "Paracetamolo 500 mg compresse"}, {"aic2", "Ibuprofene 400 mg compresse"},
                {"aic3", "Ketoprofene 80 mg bustine"}, {"aic9", "Paracetamolo generico 500 mg"},
                // the packs the sample package's banners offer
                {"029876015", "Cobalvit 1000 mcg 30 compresse"}, {"029876027", "Cobalvit 1000 mcg 6 fiale"},
                {"033210014", "Omeprazolo 20 mg 14 capsule"}};
  banner_.Control().Connect(this);

  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), text::kTitle);
  gtk_window_set_default_size(GTK_WINDOW(window_), 980, 620);

  // Patient
  GtkWidget* patient = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(patient), 4);
  gtk_grid_set_column_spacing(GTK_GRID(patient), 6);
  name_ = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(name_), "Rossi Maria");
  sex_ = gtk_combo_box_text_new();
  gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(sex_), "F");
  gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(sex_), "M");
  gtk_combo_box_set_active(GTK_COMBO_BOX(sex_), 0);
  birth_ = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(birth_), "12/03/1956");
  ssn_ = gtk_check_button_new_with_label(text::kSsn);
  const char* labels[] = {text::kName, text::kSex, text::kBirth};
  GtkWidget* fields[] = {name_, sex_, birth_};
  for (int row = 0; row < 3; ++row) {
    GtkWidget* label = gtk_label_new(labels[row]);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_grid_attach(GTK_GRID(patient), label, 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(patient), fields[row], 1, row, 1, 1);
  }
  gtk_grid_attach(GTK_GRID(patient), ssn_, 1, 3, 1, 1);
  gtk_grid_attach(GTK_GRID(patient), Button(text::kSetPatient, G_CALLBACK(Signals::SetPatient), this), 1, 4, 1, 1);

  // Prescription
  GtkWidget* prescription = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
  GtkWidget* workflow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  gtk_box_pack_start(GTK_BOX(workflow), Button(text::kStart, G_CALLBACK(Signals::Start), this), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(workflow), Button(text::kEnd, G_CALLBACK(Signals::End), this), FALSE, FALSE, 0);
  GtkWidget* entry = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
  aic_ = gtk_entry_new();
  gtk_entry_set_placeholder_text(GTK_ENTRY(aic_), text::kAic);
  gtk_entry_set_text(GTK_ENTRY(aic_), "aic1");
  gtk_box_pack_start(GTK_BOX(entry), aic_, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(entry), Button(text::kAdd, G_CALLBACK(Signals::Add), this), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(entry), Button(text::kRemove, G_CALLBACK(Signals::Remove), this), FALSE, FALSE, 0);
  GtkListStore* store = gtk_list_store_new(2, G_TYPE_STRING, G_TYPE_STRING);
  drugs_ = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
  g_object_unref(store);
  gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(drugs_), -1, "AIC", gtk_cell_renderer_text_new(), "text",
                                              0, nullptr);
  gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(drugs_), -1, "Descrizione", gtk_cell_renderer_text_new(),
                                              "text", 1, nullptr);
  g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(drugs_)), "changed",
                   G_CALLBACK(Signals::SelectionChanged), this);
  GtkWidget* drugScroll = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(drugScroll), GTK_SHADOW_IN);
  gtk_widget_set_size_request(drugScroll, -1, 110);
  gtk_container_add(GTK_CONTAINER(drugScroll), drugs_);
  gtk_box_pack_start(GTK_BOX(prescription), workflow, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(prescription), entry, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(prescription), drugScroll, TRUE, TRUE, 0);

  // Event log
  log_ = gtk_text_view_new();
  gtk_text_view_set_editable(GTK_TEXT_VIEW(log_), FALSE);
  gtk_text_view_set_monospace(GTK_TEXT_VIEW(log_), TRUE);
  GtkWidget* logScroll = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(logScroll), GTK_SHADOW_IN);
  gtk_container_add(GTK_CONTAINER(logScroll), log_);

  GtkWidget* left = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_box_pack_start(GTK_BOX(left), Frame(text::kPatient, patient), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(left), Frame(text::kPrescription, prescription), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(left), Frame(text::kEvents, logScroll), TRUE, TRUE, 0);

  GtkWidget* bannerFrame = gtk_frame_new(nullptr);
  gtk_frame_set_shadow_type(GTK_FRAME(bannerFrame), GTK_SHADOW_IN);
  gtk_widget_set_size_request(bannerFrame, kBannerWidth, -1);
  gtk_container_add(GTK_CONTAINER(bannerFrame), banner_.Widget());

  GtkWidget* main = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
  gtk_container_set_border_width(GTK_CONTAINER(main), 8);
  gtk_box_pack_start(GTK_BOX(main), left, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(main), bannerFrame, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window_), main);
  gtk_widget_show_all(window_);
}

DemoWindow::~DemoWindow() {
  banner_.Control().Disconnect(this);
  gtk_widget_destroy(window_);
}

void DemoWindow::Start() {
  Log("> InitializeContext " + options_.doctor);
  banner_.Control().InitializeContext(true, FromUtf8(kApplicationCode), FromUtf8(options_.doctor),
                                      FromUtf8(options_.region), u"101", u"MMG", true,
                                      FromUtf8(folders_.bannerLibrary), FromUtf8(kRemoteParameters));
  SetPatient();
  Signals::Start(this);
}

void DemoWindow::SetPatient() {
  const std::string name = gtk_entry_get_text(GTK_ENTRY(name_));
  const std::string birth = gtk_entry_get_text(GTK_ENTRY(birth_));
  shell::DateParts parts;
  if (birth.size() == 10) {
    parts.day = std::atoi(birth.substr(0, 2).c_str());
    parts.month = std::atoi(birth.substr(3, 2).c_str());
    parts.year = std::atoi(birth.substr(6, 4).c_str());
  }
  gchar* sex = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(sex_));
  Log("> SetPatient " + name + " " + (sex ? sex : "") + " " + birth);
  banner_.Control().Patient()->SetName(FromUtf8(name));
  banner_.Control().SetPatient(FromUtf8(sex ? sex : ""), shell::MakeDate(parts),
                               gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(ssn_)), u"");
  g_free(sex);
}

void DemoWindow::AddDrug(const std::string& aic) {
  if (aic.empty()) return;
  const String code = FromUtf8(aic);
  Log("> PrescribingDrug " + aic);
  banner_.Control().PrescribingDrug(code, u"A", true, u"", automation::Currency{});
  Log("> AddDrugToPrescription " + aic);
  banner_.Control().AddDrugToPrescription(code, u"A", true, u"", automation::Currency{});
  GtkListStore* store = GTK_LIST_STORE(gtk_tree_view_get_model(GTK_TREE_VIEW(drugs_)));
  GtkTreeIter iter;
  gtk_list_store_append(store, &iter);
  gtk_list_store_set(store, &iter, 0, aic.c_str(), 1, Describe(aic).c_str(), -1);
}

void DemoWindow::RemoveSelectedDrug() {
  GtkTreeModel* model = nullptr;
  GtkTreeIter iter;
  if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(drugs_)), &model, &iter)) return;
  gchar* aic = nullptr;
  gtk_tree_model_get(model, &iter, 0, &aic, -1);
  Log(std::string("> RemoveDrugFromPrescription ") + aic);
  banner_.Control().RemoveDrugFromPrescription(FromUtf8(aic));
  g_free(aic);
  selecting_ = true;
  gtk_list_store_remove(GTK_LIST_STORE(model), &iter);
  selecting_ = false;
}

std::string DemoWindow::Describe(const std::string& aic) const {
  const auto found = catalogue_.find(aic);
  return found != catalogue_.end() ? found->second : text::kUnknownDrug + aic;
}

void DemoWindow::OnEvent(automation::DispId id, automation::StringView name, std::span<Variant> args) {
  std::string line = "< " + ToUtf8(name) + "(";
  for (size_t i = 0; i < args.size(); ++i) line += (i ? ", " : "") + Argument(args[i]);
  Log(line + ")");
  if (id == control::event_id::kOnRequiredDrugDescription && args.size() >= 2) {
    args[1] = Variant(FromUtf8(Describe(Argument(args[0]))));
  } else if (id == control::event_id::kOnCommandClickExtended && args.size() >= 2 &&
             Argument(args[0]).rfind("PRESCRIBE", 0) == 0) {
    g_idle_add(Signals::Prescribe, new std::pair<DemoWindow*, std::string>(this, Argument(args[1])));
  }
}

void DemoWindow::Log(const std::string& line) {
  std::printf("%s\n", line.c_str());
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(log_));
  GtkTextIter end;
  gtk_text_buffer_get_end_iter(buffer, &end);
  gtk_text_buffer_insert(buffer, &end, (line + "\n").c_str(), -1);
  gtk_text_buffer_get_end_iter(buffer, &end);
  GtkTextMark* mark = gtk_text_buffer_create_mark(buffer, nullptr, &end, FALSE);
  gtk_text_view_scroll_mark_onscreen(GTK_TEXT_VIEW(log_), mark);
  gtk_text_buffer_delete_mark(buffer, mark);
}

std::string DemoWindow::LogText() const {
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(log_));
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

}  // namespace brevalcore::demo
