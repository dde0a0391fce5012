#include "rules/commands.h"

#include "platform/automation/error.h"
#include "rules/history.h"

namespace brevalcore::rules {

const ClassInfo& Commands::Class() {
  using C = Commands;
  static const ClassInfo info =
      automation::ClassBuilder<C>(u"Commands")
          .ObjectProperty<&C::context, &C::set_context>(u"context")
          .Method<&C::DoSetBannerKeyData>(u"DoSetBannerKeyData")
          .Method<&C::DoSetBannerPatientKeyData>(u"DoSetBannerPatientKeyData")
          .Method<&C::DoSetLastDateOfBannerVisualizationForPatient>(u"DoSetLastDateOfBannerVisualizationForPatient")
          .Method<&C::DoSetFirstDateOfBannerVisualizationForPatient>(u"DoSetFirstDateOfBannerVisualizationForPatient")
          .Build();
  return info;
}

const cContext& Commands::Context() const {
  if (!context_) automation::Raise(automation::err::kObjectVariableNotSet);
  return *context_;
}

void Commands::DoSetBannerKeyData(const String& sBanner, const String& keyData, const String& data) {
  WriteBannerKeyData(sBanner, keyData, Variant(data), Context());
}

void Commands::DoSetBannerPatientKeyData(const String& sBanner, const String& keyData, const String& data) {
  WriteBannerPatientKeyData(sBanner, keyData, Variant(data), Context());
}

void Commands::DoSetLastDateOfBannerVisualizationForPatient(const String& sBanner) {
  WriteBannerPatientKeyData(sBanner, kLastDateKey, Variant(DayText(Today(Context()))), Context());
}

void Commands::DoSetFirstDateOfBannerVisualizationForPatient(const String& sBanner) {
  const Variant stored = ReadBannerPatientKeyData(Context(), sBanner, kFirstDateKey);
  if (ReadDate(stored.AsString())) return;
  WriteBannerPatientKeyData(sBanner, kFirstDateKey, Variant(DayText(Today(Context()))), Context());
}

}  // namespace brevalcore::rules
