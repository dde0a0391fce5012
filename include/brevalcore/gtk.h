/* The Brevalcore banner control as a GTK 3 widget.
 *
 * The widget shows the control's web view and tells the control its size, whether it is
 * shown, and which window owns its dialogs. Build with the flags of pkg-config
 * brevalcore-gtk (or the CMake target Brevalcore::gtk), call gtk_init first, and run the GTK
 * main loop: navigation, clicks and the control's events arrive through it. */
#ifndef BREVALCORE_GTK_H
#define BREVALCORE_GTK_H

#include <gtk/gtk.h>

#include <brevalcore/brevalcore.h>

G_BEGIN_DECLS

/* A new widget (a floating reference) showing the web view of `ctl`, which must have been
 * created without BREVALCORE_HEADLESS. The widget does not own the control: destroy the widget
 * before deleting the control (a control deleted first leaves an empty widget). NULL when ctl
 * is not a live control with a web view. */
GtkWidget *brevalcore_gtk_widget_new(brevalcore_handle *ctl);

G_END_DECLS

#ifdef __cplusplus
#include <memory>
#include <string>

#include <brevalcore/control.h>

namespace brevalcore::gtk {

/* The control with a web view and GTK dialogs, and the widget that shows it. */
class BannerWidget {
 public:
  /* Null, with the reason in `error`, when the control cannot be made (see Control::Create).
   * The options' view and dialogs are those of the widget: a web view and GTK dialogs. */
  static std::unique_ptr<BannerWidget> Create(ControlOptions options, std::string *error = nullptr);
  ~BannerWidget();
  BannerWidget(const BannerWidget &) = delete;
  BannerWidget &operator=(const BannerWidget &) = delete;

  /* What the host packs into its window; owned by this object. */
  GtkWidget *Widget() const;
  brevalcore::Control &Control();

 private:
  BannerWidget(std::unique_ptr<brevalcore::Control> control, GtkWidget *widget);
  std::unique_ptr<brevalcore::Control> control_;
  GtkWidget *widget_;
};

}  // namespace brevalcore::gtk
#endif

#endif /* BREVALCORE_GTK_H */
