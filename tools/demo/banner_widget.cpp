#include "tools/demo/banner_widget.h"

#include <gtk/gtk.h>

#include "control/gtk/banner_container.h"

namespace brevalcore::demo {

BannerWidget::BannerWidget(control::ControlServices services) {
  services.browser = &browser_;
  services.ui = &ui_;
  control_ = automation::MakeRef<control::BrevalcoreBanner>(std::move(services));
  // The same container as the installed widget library's, over the control itself.
  control::BrevalcoreBanner* banner = control_.get();
  layout_ = gtk::NewBannerContainer(browser_.Widget(),
                                    {[banner](int width, int height) { banner->Resize(width, height); },
                                     [banner](bool visible) { banner->SetContainerVisible(visible); },
                                     [this](GtkWindow* owner) { ui_.SetParent(owner); }});
  g_object_ref_sink(layout_);
}

BannerWidget::~BannerWidget() {
  gtk::DetachBannerContainer(layout_);
  control_ = nullptr;  // the control lets go of the web view before the web view goes
  gtk_widget_destroy(layout_);
  g_object_unref(layout_);
}

}  // namespace brevalcore::demo
