#pragma once
// Actions: what the rule script does ("actions" in the script): choose or clear the banner,
// read the default page and the fact model, learn the control's version, escape text for
// addresses, and keep three addresses in the doctor's profile file. It keeps nothing but its
// context; the choice lives in cContext.Banner and is displayed by the control afterwards.
#include "rules/context.h"

namespace brevalcore::rules {

class Actions : public automation::DispatchObject<Actions> {
 public:
  static const ClassInfo& Class();

  // Records the choice; a change of banner is counted ("SHOW") and traced, and every call
  // stamps the banner's "DATA" with now. Returns true.
  bool ShowBanner(const String& bannerCode);
  String DefaultEmptyPage() const;
  void SetDefaultEmptyPage(const String& v);
  Ref<Facts> GetFacts() const;
  String GetComponentVersion(bool lAddRevision);
  String URLEncode(const String& text);
  String GetCurrentBanner() const;
  void ResetBanner();
  String UpdateDbUrl() const;
  void SetUpdateDbUrl(const String& v);
  String UpdateOcxUrl() const;
  void SetUpdateOcxUrl(const String& v);
  String TraceUrl() const;
  void SetTraceUrl(const String& v);

  Ref<cContext> context() const { return context_; }
  void set_context(Ref<cContext> c) { context_ = std::move(c); }

 private:
  cContext& Context() const;
  Ref<cContext> context_;
};

// "major.minor[.revision]" with the minor number as exactly two digits.
String ComponentVersion(int major, int minor, int revision, bool addRevision);
// Letters and digits stay, a space becomes "+", everything else "%XX" of its Windows-1252 code.
String UrlEncode(StringView text);

}  // namespace brevalcore::rules
