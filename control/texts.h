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

}  // namespace brevalcore::control::text
