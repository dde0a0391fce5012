#include "control/gtk/banner_container.h"

#include <gtk/gtk.h>

namespace brevalcore::gtk {

namespace {

// The widget's state, owned by the layout (freed with it).
struct Container {
  ContainerCalls calls;
  int width = -1, height = -1;
  unsigned resizeSource = 0;
};

constexpr char kContainerKey[] = "brevalcore-container";

Container* Of(gpointer data) { return static_cast<Container*>(data); }

gboolean ResizeControl(gpointer data) {
  Container* self = Of(data);
  self->resizeSource = 0;
  if (self->calls.resize) self->calls.resize(self->width, self->height);
  return G_SOURCE_REMOVE;
}

// The control places its web view itself (at 0, 0 with its own size), so the widget is a
// layout: its size never depends on the web view's, and the window can still shrink.
void OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
  Container* self = Of(data);
  if (allocation->width == self->width && allocation->height == self->height) return;
  self->width = allocation->width;
  self->height = allocation->height;
  // GTK drops size requests made while it allocates: tell the control once that is over.
  if (!self->resizeSource) self->resizeSource = g_idle_add(ResizeControl, self);
}

void OnHierarchyChanged(GtkWidget* widget, GtkWidget*, gpointer data) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
  if (Of(data)->calls.setDialogParent)
    Of(data)->calls.setDialogParent(GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr);
}

void OnMap(GtkWidget*, gpointer data) {
  if (Of(data)->calls.setVisible) Of(data)->calls.setVisible(true);
}

void OnUnmap(GtkWidget*, gpointer data) {
  if (Of(data)->calls.setVisible) Of(data)->calls.setVisible(false);
}

void Detach(Container* self) {
  if (self->resizeSource) g_source_remove(self->resizeSource);
  self->resizeSource = 0;
  self->calls = {};  // the control may go before the memory does
}

void OnDestroy(GtkWidget*, gpointer data) { Detach(Of(data)); }

void FreeContainer(gpointer data) { delete Of(data); }

}  // namespace

GtkWidget* NewBannerContainer(GtkWidget* view, ContainerCalls calls) {
  GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
  if (view) gtk_layout_put(GTK_LAYOUT(layout), view, 0, 0);
  auto* container = new Container{std::move(calls)};
  g_object_set_data_full(G_OBJECT(layout), kContainerKey, container, FreeContainer);
  g_signal_connect(layout, "size-allocate", G_CALLBACK(OnSizeAllocate), container);
  g_signal_connect(layout, "hierarchy-changed", G_CALLBACK(OnHierarchyChanged), container);
  g_signal_connect(layout, "map", G_CALLBACK(OnMap), container);
  g_signal_connect(layout, "unmap", G_CALLBACK(OnUnmap), container);
  g_signal_connect(layout, "destroy", G_CALLBACK(OnDestroy), container);
  return layout;
}

void DetachBannerContainer(GtkWidget* container) {
  if (auto* self = static_cast<Container*>(g_object_get_data(G_OBJECT(container), kContainerKey))) Detach(self);
}

}  // namespace brevalcore::gtk
