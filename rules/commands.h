#pragma once
// Commands: what the rule script records in the banner history ("commands" in the script):
// key data per banner and per patient, and the patient's first and last visualisation days.
#include "rules/context.h"

namespace brevalcore::rules {

class Commands : public automation::DispatchObject<Commands> {
 public:
  static const ClassInfo& Class();

  Ref<cContext> context() const { return context_; }
  void set_context(Ref<cContext> c) { context_ = std::move(c); }

  void DoSetBannerKeyData(const String& sBanner, const String& keyData, const String& data);
  void DoSetBannerPatientKeyData(const String& sBanner, const String& keyData, const String& data);
  // Today in the day form, overwriting any earlier value.
  void DoSetLastDateOfBannerVisualizationForPatient(const String& sBanner);
  // Today in the day form, only when no first date is stored yet.
  void DoSetFirstDateOfBannerVisualizationForPatient(const String& sBanner);

 private:
  const cContext& Context() const;
  Ref<cContext> context_;
};

}  // namespace brevalcore::rules
