#pragma once
// What the banner commands need from the control that runs them, and the entry points the
// control calls. The control implements CommandHost; the commands keep no state of their own
// between calls, everything they read or change is reached through it.
#include <cstdint>
#include <memory>

#include "platform/automation/text.h"

namespace brevalcore::automation { class ObjectFactories; }
namespace brevalcore::browser { class BrowserHost; class Element; }
namespace brevalcore::shell { class Clock; class ShellOpener; }
namespace brevalcore::ui { class UserInterface; }
namespace brevalcore::rules { class cContext; }

namespace brevalcore::commands {

using automation::String;
using automation::StringView;

class CommandHost {
 public:
  virtual ~CommandHost() = default;

  // ---- state of the control
  virtual rules::cContext& Context() = 0;
  virtual bool IsInitialized() const = 0;
  // True between BeginLoadingPrescriptionItems and EndLoadingPrescriptionItems.
  virtual bool IsLoadingItems() const = 0;

  // ---- facts the commands read (from Context().CurrentFacts and the context itself)
  virtual String Banner() = 0;               // cContext.Banner, may carry a "?..." suffix
  virtual String BannerFolder() = 0;         // cContext.PathTempBanner
  virtual String CurrentDrug() = 0;          // Prescription.CurrentDrug
  virtual String PrescribingDrugAic() = 0;   // Prescription.PrescribingDrug.AIC
  virtual String PatientName() = 0;          // Patient.Name
  virtual String DoctorName() = 0;           // Doctor.Name
  virtual String DoctorStamp() = 0;          // Doctor.Stamp
  virtual bool BannersEnabled() = 0;         // Application.EnableBanners
  virtual String IniFilePath() = 0;          // the doctor's INI file
  virtual String ShellWorkingFolder() = 0;   // the control folder, where the shell opens files

  // ---- the doctor's INI file (section "AutoSubstitute"); profile-file semantics
  virtual String ReadIni(StringView section, StringView key) = 0;
  virtual void WriteIni(StringView section, StringView key, StringView value) = 0;
  // The whole section, entries "key=value" joined by NUL characters, none cut off.
  virtual String ReadIniSection(StringView section) = 0;
  // Replaces the whole section by `entries`, one "key=value" per line (CR LF separated).
  virtual void WriteIniSection(StringView section, StringView entries) = 0;

  // ---- banner history and tracing, for the banner on show (Banner()). These may throw
  // AutomationError; the click handling then ends silently.
  virtual void IncrementBannerCounter(StringView word) = 0;
  virtual void TraceBannerAction(StringView word, StringView param) = 0;
  virtual void WriteBannerKeyData(StringView key, StringView value) = 0;
  virtual void WriteBannerPatientKeyData(StringView key, StringView value) = 0;
  // A new temporary file name in the banner's TEMP folder for `fileName` (its extension kept).
  virtual String MakeTempFileName(StringView fileName) = 0;

  // ---- events of __BrevalcoreBanner, raised synchronously to the host
  virtual void RaiseOnCommandClick(StringView command, String& param) = 0;
  virtual void RaiseOnCommandClickExtended(StringView command, StringView param, StringView options) = 0;
  virtual void RaiseOnRequiredDrugDescription(StringView aic, String& description) = 0;
  virtual void RaiseOnClick(int16_t button) = 0;
  virtual void RaiseOnRequiredField(StringView fieldName, String& fieldValue) = 0;

  // ---- platform services
  virtual ui::UserInterface& Ui() = 0;
  virtual browser::BrowserHost& Browser() = 0;   // Refresh after a modal dialog
  // The control's got-focus step: focus to txt_Focus, then shift-tab, tab when ForceFocusBack.
  virtual void GotFocusStep() = 0;
  virtual const shell::Clock& Clock() = 0;
  virtual shell::ShellOpener& Shell() = 0;
  virtual automation::ObjectFactories& Factories() = 0;
};

// ---- entry points the control calls

// What a mouse press on an element does: runs the command of its link (an anchor with a
// fragment, an image or input with an href attribute of its own), opens a plain anchor's
// address with the shell, or nothing.
enum class ElementRole : uint8_t { None, Command, PlainLink };
ElementRole ClassifyElement(const browser::Element& element);

// doc_onmousedown: classifies the element under the mouse, runs its command and raises
// OnClick. Never throws: any failure ends the handling silently (no further step, no OnClick).
void OnDocumentMouseDown(CommandHost& host, int button, const std::shared_ptr<browser::Element>& element);

// The control's public ShowAutoSubstituteList (also the context-menu item).
bool ShowAutoSubstituteList(CommandHost& host);
// Called by the CurrentPrescriptionDrug setter after a change; true when it raised
// OnCommandClick "AUTOSUBSTITUTE" (the setter then skips AfterSelect). Never throws.
bool CheckAutoSubstitute(CommandHost& host);

// Drug selection list: replaces `drugList` ("&"-joined codes) by the chosen codes, or leaves it
// unchanged on failure or when the control is not initialised. Never throws.
void ShowSelectionList(CommandHost& host, String& drugList, bool singleChoice);
// Document list: the chosen file name, or empty. Never throws.
String ShowShellList(CommandHost& host, StringView title, StringView documentList);

// RTF_VariableReplace: a compiler's request for a variable it does not hold becomes the
// control's OnRequiredField; the host's answer is the value.
inline void RtfVariableReplace(CommandHost& host, StringView variableName, String& variableValue) {
  host.RaiseOnRequiredField(variableName, variableValue);
}

}  // namespace brevalcore::commands
