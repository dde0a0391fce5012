// libbrevalcore-gtk: the banner widget over the public interfaces of libbrevalcore, for C
// hosts (a control handle) and C++ hosts (a Control it owns).
#include "brevalcore/gtk.h"

#include "control/gtk/banner_container.h"

namespace brevalcore::gtk {

std::unique_ptr<BannerWidget> BannerWidget::Create(ControlOptions options, std::string* error) {
  options.view = View::WebView;
  options.dialogs = Dialogs::Gtk;
  std::unique_ptr<brevalcore::Control> control = brevalcore::Control::Create(options, error);
  if (!control) return nullptr;
  brevalcore::Control* c = control.get();
  GtkWidget* widget = NewBannerContainer(static_cast<GtkWidget*>(c->NativeView()),
                                         {[c](int width, int height) { c->Resize(width, height); },
                                          [c](bool visible) { c->SetContainerVisible(visible); },
                                          [c](GtkWindow* owner) { c->SetDialogParent(owner); }});
  return std::unique_ptr<BannerWidget>(new BannerWidget(std::move(control), widget));
}

BannerWidget::BannerWidget(std::unique_ptr<brevalcore::Control> control, GtkWidget* widget)
    : control_(std::move(control)), widget_(widget) {
  g_object_ref_sink(widget_);
}

BannerWidget::~BannerWidget() {
  DetachBannerContainer(widget_);
  control_.reset();  // the control lets go of its web view before the widget goes
  gtk_widget_destroy(widget_);
  g_object_unref(widget_);
}

GtkWidget* BannerWidget::Widget() const { return widget_; }
brevalcore::Control& BannerWidget::Control() { return *control_; }

}  // namespace brevalcore::gtk

extern "C" GtkWidget* brevalcore_gtk_widget_new(brevalcore_handle* ctl) {
  auto* view = static_cast<GtkWidget*>(brevalcore_native_view(ctl));
  if (!view) return nullptr;
  // The handle is checked at each call, so a control deleted before the widget is no crash.
  return brevalcore::gtk::NewBannerContainer(
      view, {[ctl](int width, int height) { brevalcore_resize(ctl, width, height); },
             [ctl](bool visible) { brevalcore_set_container_visible(ctl, visible ? 1 : 0); },
             [ctl](GtkWindow* owner) { brevalcore_set_dialog_parent(ctl, owner); }});
}
