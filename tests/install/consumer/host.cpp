// The smallest host: the control with the headless browser, initialised for a doctor whose
// banner folder holds no rule script: the start goes on, with the missing script reported in a
// message box and banners switched off.
#include <cstdio>

#include "control/banner_control.h"
#include "platform/browser/headless_browser.h"
#include "platform/shell/clock.h"
#include "platform/ui/scripted_ui.h"

int main() {
  using namespace brevalcore;
  browser::HeadlessBrowser browser;
  ui::ScriptedUserInterface ui;
  control::ControlServices services;
  services.browser = &browser;
  services.ui = &ui;
  services.clock = &shell::SystemClock::Instance();
  auto banner = automation::MakeRef<control::BrevalcoreBanner>(std::move(services));
  const bool started = banner->InitializeContext(true, u"HOST", u"D1", u"080", u"101", u"MG", true, u"", u"");
  const bool reported = !ui.shown().empty();
  std::printf("started %d, %s\n", started, reported ? brevalcore::automation::ToUtf8(ui.shown()[0].text).c_str() : "nothing reported");
  return reported && !banner->Application()->EnableBanners() ? 0 : 1;
}
