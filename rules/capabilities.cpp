// The capability table a rule script consults before it relies on a feature. The history
// members are always offered; the bracketing of bulk loads depends on the host product and
// its version.
#include "platform/automation/error.h"
#include "rules/conditions.h"

namespace brevalcore::rules {

namespace {

// Features every control of this generation offers, whatever the host.
constexpr const char16_t* kAlwaysImplemented[] = {
    u"BannerKeyData",
    u"IsFirstBannerVisualizationForPatient",
    u"GetFirstDateOfBannerVisualizationForPatient",
    u"GetLastDateOfBannerVisualizationForPatient",
    u"DoSetBannerPatientKeyData",
    u"DoSetLastDateOfBannerVisualizationForPatient",
    u"DoSetFirstDateOfBannerVisualizationForPatient",
    u"DoSetBannerKeyData",
};

constexpr char16_t kLoadingPrescriptionItems[] = u"LoadingPrescriptionItems";

// The first version of each host that brackets bulk loads. An empty threshold means every
// version. The versions compare as texts, character by character, not as numbers: that is
// how the hosts' versions were always compared, and the thresholds were chosen with it.
struct HostThreshold {
  const char16_t* software;  // upper case
  const char16_t* minimumVersion;
};
constexpr HostThreshold kLoadingHosts[] = {
    {u"KORALTE", u"4.00.16"},
    {u"MELDOVAR", u"4.00.16"},
    {u"ZANTUREL", u"2.90.7.23"},
    {u"OSTRAVI", u"5.05.07"},
    {u"BELTUNE", u"5.05.07"},
    {u"QKV", u""},
    {u"DRUMLET", u""},
};

}  // namespace

bool IsImplemented(StringView functionName, StringView software, StringView version) {
  const String name = automation::ToUpper(functionName);
  for (const char16_t* always : kAlwaysImplemented)
    if (name == automation::ToUpper(always)) return true;
  if (name != automation::ToUpper(kLoadingPrescriptionItems)) return false;
  const String host = automation::ToUpper(software);
  for (const auto& row : kLoadingHosts) {
    if (host != row.software) continue;
    // char16_t comparison is by character code; a prefix sorts first.
    return StringView(row.minimumVersion).empty() || version >= StringView(row.minimumVersion);
  }
  return false;
}

bool Conditions::IsImplementedFunction(const String& functionName) {
  if (!context_) automation::Raise(automation::err::kObjectVariableNotSet);
  const auto facts = context_->CurrentFacts();
  const auto application = facts ? facts->Application() : Ref<ApplicationFacts>();
  if (!application) return IsImplemented(functionName, {}, {});
  return IsImplemented(functionName, application->Software(), application->Version());
}

}  // namespace brevalcore::rules
