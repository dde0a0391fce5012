#pragma once
// The GTK widget that shows the banner control: a layout holding the control's web view, which
// tells the control its size, whether it is shown, and which window owns its dialogs. It
// decides nothing itself. The installed widget library (<brevalcore/gtk.h>) and the demo host
// both build on it, each with its own way of reaching the control.
#include <functional>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkWindow GtkWindow;

namespace brevalcore::gtk {

// What the widget tells the control.
struct ContainerCalls {
  std::function<void(int width, int height)> resize;
  std::function<void(bool visible)> setVisible;
  std::function<void(GtkWindow* owner)> setDialogParent;
};

// A new widget (a floating reference, as GTK constructors return) showing `view`; the calls
// stop when the widget is destroyed.
GtkWidget* NewBannerContainer(GtkWidget* view, ContainerCalls calls);
// Stops the calls before the control goes (the widget may outlive it).
void DetachBannerContainer(GtkWidget* container);

}  // namespace brevalcore::gtk
