#pragma once
// Every text of the control that the doctor or the host sees, in one place.
namespace brevalcore::control::text {

inline constexpr char16_t kReportTitle[] = u"Info Controllo Utente";
// "Error " + number + " (" + description + ") in procedure " + name + " of Controllo utente"
inline constexpr char16_t kReportError[] = u"Error ";
inline constexpr char16_t kReportInProcedure[] = u") in procedure ";
inline constexpr char16_t kReportOfControl[] = u" of Controllo utente";

inline constexpr char16_t kMenuAutoSubstituteList[] = u"Gestione sostituzioni farmaci";
inline constexpr char16_t kMenuOffline[] = u"Offline";
inline constexpr char16_t kMenuCancel[] = u"Annulla";

// What the host's diagnostics are told besides the error reports.
inline constexpr char16_t kPackageUnpacked[] = u"Banner package unpacked: ";  // + number of files
inline constexpr char16_t kPackageCurrent[] = u"Banner package up to date";
inline constexpr char16_t kPackageUnusable[] = u"No usable banner package: banners are off";
inline constexpr char16_t kPageNotLoaded[] = u"Page not loaded, the offline page is shown: ";  // + address
inline constexpr char16_t kTracerNotCreated[] = u"Tracing component not created: ";  // + reason

}  // namespace brevalcore::control::text
