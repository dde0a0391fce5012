#include "tools/demo/banner_widget.h"

#include <gtk/gtk.h>

namespace brevalcore::demo {

// The control places its web view itself (at 0, 0 with its own size), so the widget is a
// layout: its size never depends on the web view's, and the window can still shrink.
struct BannerWidget::Signals {
  static void OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    auto* self = static_cast<BannerWidget*>(data);
    if (allocation->width == self->width_ && allocation->height == self->height_) return;
    self->width_ = allocation->width;
    self->height_ = allocation->height;
    // GTK drops size requests made while it allocates: tell the control once that is over.
    if (!self->resizeSource_) self->resizeSource_ = g_idle_add(ResizeControl, self);
  }
  static gboolean ResizeControl(gpointer data) {
    auto* self = static_cast<BannerWidget*>(data);
    self->resizeSource_ = 0;
    self->control_->Resize(self->width_, self->height_);
    return G_SOURCE_REMOVE;
  }
  static void OnHierarchyChanged(GtkWidget* widget, GtkWidget*, gpointer data) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    static_cast<BannerWidget*>(data)->ui_.SetParent(GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr);
  }
  static void OnMap(GtkWidget*, gpointer data) { static_cast<BannerWidget*>(data)->control_->SetContainerVisible(true); }
  static void OnUnmap(GtkWidget*, gpointer data) {
    static_cast<BannerWidget*>(data)->control_->SetContainerVisible(false);
  }
};

BannerWidget::BannerWidget(control::ControlServices services) {
  layout_ = gtk_layout_new(nullptr, nullptr);
  g_object_ref_sink(layout_);
  gtk_layout_put(GTK_LAYOUT(layout_), browser_.Widget(), 0, 0);

  services.browser = &browser_;
  services.ui = &ui_;
  control_ = automation::MakeRef<control::BrevalcoreBanner>(std::move(services));

  g_signal_connect(layout_, "size-allocate", G_CALLBACK(Signals::OnSizeAllocate), this);
  g_signal_connect(layout_, "hierarchy-changed", G_CALLBACK(Signals::OnHierarchyChanged), this);
  g_signal_connect(layout_, "map", G_CALLBACK(Signals::OnMap), this);
  g_signal_connect(layout_, "unmap", G_CALLBACK(Signals::OnUnmap), this);
}

BannerWidget::~BannerWidget() {
  g_signal_handlers_disconnect_by_data(layout_, this);
  if (resizeSource_) g_source_remove(resizeSource_);
  control_ = nullptr;  // the control lets go of the web view before the web view goes
  gtk_widget_destroy(layout_);
  g_object_unref(layout_);
}

}  // namespace brevalcore::demo
