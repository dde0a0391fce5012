#pragma once
// The banner control as a GTK widget for the demo host, which injects the control's services
// (installed hosts use <brevalcore/gtk.h>). A GTK host embeds it in a few lines:
//
//   brevalcore::demo::BannerWidget banner;
//   gtk_box_pack_start(GTK_BOX(box), banner.Widget(), TRUE, TRUE, 0);
//   banner.Control().Connect(&mySink);          // the control's events
//   banner.Control().InitializeContext(...);    // then the work-flow calls
//
// The widget gives the control its real web view and dialogs, tells it its size and whether it
// is shown, and makes the host's window the owner of its dialogs. It decides nothing itself.
#include "control/banner_control.h"
#include "platform/browser/webkit/webkit_browser_host.h"
#include "platform/ui/gtk/gtk_user_interface.h"

typedef struct _GtkWidget GtkWidget;

namespace brevalcore::demo {

class BannerWidget {
 public:
  // `services`: anything to replace (the browser and the user interface are always the GTK ones).
  explicit BannerWidget(control::ControlServices services = {});
  ~BannerWidget();
  BannerWidget(const BannerWidget&) = delete;
  BannerWidget& operator=(const BannerWidget&) = delete;

  GtkWidget* Widget() const { return layout_; }
  control::BrevalcoreBanner& Control() { return *control_; }
  browser::WebKitBrowserHost& Browser() { return browser_; }
  ui::GtkUserInterface& Ui() { return ui_; }


 private:
  browser::WebKitBrowserHost browser_;
  ui::GtkUserInterface ui_;
  GtkWidget* layout_ = nullptr;
  automation::Ref<control::BrevalcoreBanner> control_;
};

}  // namespace brevalcore::demo
