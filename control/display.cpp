// What the web view shows and how the control reacts to it: navigation that never reloads the
// page on show, the offline mode kept in the doctor's settings, the document's styling, the
// focus rule and the control's own context menu.
#include "control/addresses.h"
#include "control/banner_control.h"
#include "control/texts.h"
#include "platform/automation/diagnostics.h"
#include "storage/ini_file.h"

namespace brevalcore::control {

namespace {

constexpr char16_t kSettingsSection[] = u"BVC";
constexpr char16_t kOfflineKey[] = u"Offline";
constexpr char16_t kOfflineOn[] = u"1";
constexpr char16_t kOfflineOff[] = u"0";
// The trace's action word when neither a page nor the offline page could be shown.
constexpr char16_t kTracePageFailed[] = u"PAGEFAILED";
constexpr char kDiagnosticSource[] = "banner view";

}  // namespace

void BrevalcoreBanner::NavigateBlank(bool doYield) {
  browser_->SetSilent(true);
  browser_->Navigate(kBlankPage);
  currentUrl_ = kBlankPage;
  if (doYield) browser_->DoYield();
}

// Every change of page passes through "about:blank"; asking for the page already shown does
// nothing, even when the page itself has moved elsewhere since.
void BrevalcoreBanner::NavigateTo(const String& url) {
  try {
    if (url == currentUrl_) return;
    NavigateBlank(true);
    browser_->SetSilent(true);
    browser_->Navigate(url);
    currentUrl_ = url;
  } catch (...) {
  }
}

void BrevalcoreBanner::LoadOfflineSetting() {
  rules::cContext& context = Context();
  context.SetOffline(storage::ReadIni(automation::ToUtf8(IniFilePath()), kSettingsSection, kOfflineKey) == kOfflineOn);
  defaultPage_ = GetDefaultPageUrl(context);
  offlineMenuChecked_ = context.Offline();
}

// Switches offline mode and stores it; the new default page is used from the next script run.
void BrevalcoreBanner::SetOffline(bool value) {
  rules::cContext& context = Context();
  context.SetOffline(value);
  defaultPage_ = GetDefaultPageUrl(context);
  offlineMenuChecked_ = context.Offline();
  storage::WriteIni(automation::ToUtf8(IniFilePath()), kSettingsSection, kOfflineKey,
                    context.Offline() ? kOfflineOn : kOfflineOff);
}

void BrevalcoreBanner::StyleBody() {
  if (docAttached_) browser_->RemoveBodyBorderAndScrollBars();
}

void BrevalcoreBanner::OnNavigateError(StringView url) {
  navigationFailed_ = true;
  if (!showingOfflineAfterFailure_) failedUrl_ = String(url);
  rules::Diagnostic diagnostic;
  diagnostic.kind = rules::DiagnosticKind::Load;
  diagnostic.procedure = u"NavigateError";
  diagnostic.message = text::kPageNotLoaded + String(url);
  diagnostic.file = automation::ToUtf8(url);
  Diagnose(diagnostic);
}

// A failed navigation shows the offline page instead, and the control stays offline (across
// restarts) until the doctor clears the menu item. When the offline page cannot be shown
// either (a package without it), going to it again would fail again, without end: the
// control shows a blank page instead, once.
void BrevalcoreBanner::OnDocumentComplete(StringView) {
  if (navigationFailed_) {
    navigationFailed_ = false;
    if (showingOfflineAfterFailure_ || currentUrl_ == offlinePage_) return GiveUpOnPage();
    showingOfflineAfterFailure_ = true;
    browser_->Navigate(offlinePage_);
    currentUrl_ = offlinePage_;
    SetOffline(true);
    return;
  }
  showingOfflineAfterFailure_ = false;
  docAttached_ = browser_->HasDocument();
  StyleBody();
}

void BrevalcoreBanner::GiveUpOnPage() {
  showingOfflineAfterFailure_ = false;
  const String failed = failedUrl_.empty() ? offlinePage_ : failedUrl_;
  NavigateBlank(false);
  TraceBannerAction(kTracePageFailed, failed);
  const String message = failed + u" could not be shown, nor the offline page " + offlinePage_ + u"; a blank page is shown";
  automation::ReportDiagnostic(kDiagnosticSource, automation::ToUtf8(message));
  rules::Diagnostic diagnostic;
  diagnostic.kind = rules::DiagnosticKind::Load;
  diagnostic.procedure = u"NavigateError";
  diagnostic.message = message;
  diagnostic.file = automation::ToUtf8(failed);
  Diagnose(diagnostic);
}

void BrevalcoreBanner::OnUpdatePageStatus() { StyleBody(); }

void BrevalcoreBanner::GotFocusStep() {
  try {
    browser_->FocusHolder();
  } catch (...) {
  }
  if (forceFocusBack_) browser_->SendFocusBackThenForward();
}

// A press in the page gives the focus back to txt_Focus (and, when forced, to the host). Focus
// that came by the keyboard stays in the page: the doctor is going through its links.
void BrevalcoreBanner::OnGotFocus(browser::FocusCause cause) {
  if (cause == browser::FocusCause::MousePress) GotFocusStep();
}

void BrevalcoreBanner::OnMouseDown(int button, std::shared_ptr<browser::Element> element) {
  if (!docAttached_) return;
  commands::OnDocumentMouseDown(*this, button, element);
}

// Enter on a focused link does what a left press on it does, so that every command is in reach
// of the keyboard.
void BrevalcoreBanner::OnLinkActivated(std::shared_ptr<browser::Element> element) {
  OnMouseDown(browser::mouse::kLeft, std::move(element));
}

// The banner shows only the pages the control navigates to. A plain link is opened in the
// system's browser by the press itself (doc_onmousedown); following it in the banner as well
// would leave the doctor on a page the rules did not choose, with no way back, and an
// unreachable site would switch the control offline for good. Scripts, forms and history
// moves of the page are refused for the same reasons.
bool BrevalcoreBanner::OnPageNavigation(StringView) { return false; }

// The page's right-click shows the control's menu, never the web view's.
bool BrevalcoreBanner::OnContextMenu(int x, int y) {
  switch (ui_->ShowContextMenu(offlineMenuChecked_, x, y)) {
    case ui::ContextMenuChoice::AutoSubstituteList:
      ShowAutoSubstituteList();
      break;
    case ui::ContextMenuChoice::Offline:
      offlineMenuChecked_ = !offlineMenuChecked_;
      SetOffline(offlineMenuChecked_);
      break;
    case ui::ContextMenuChoice::Cancel:
    case ui::ContextMenuChoice::None:
      break;
  }
  return false;
}

bool BrevalcoreBanner::ShowAutoSubstituteList() { return commands::ShowAutoSubstituteList(*this); }

}  // namespace brevalcore::control
