#include "rules/actions.h"

#include <cstdio>

#include "brevalcore_version.h"
#include "platform/automation/error.h"
#include "rules/history.h"
#include "rules/tracing.h"

namespace brevalcore::rules {

namespace {
constexpr char16_t kUpdateDbUrlKey[] = u"UpdateDbUrl";
constexpr char16_t kUpdateOcxUrlKey[] = u"UpdateOcxUrl";
constexpr char16_t kTraceUrlKey[] = u"TraceUrl";
}  // namespace

const ClassInfo& Actions::Class() {
  using A = Actions;
  static const ClassInfo info =
      automation::ClassBuilder<A>(u"Actions")
          .Method<&A::ShowBanner>(u"ShowBanner")
          .Property<&A::DefaultEmptyPage, &A::SetDefaultEmptyPage>(u"DefaultEmptyPage")
          .Method<&A::GetFacts>(u"GetFacts")
          .Method<&A::GetComponentVersion>(u"GetComponentVersion", {{u"lAddRevision", Variant(true)}})
          .Method<&A::URLEncode>(u"URLEncode")
          .Method<&A::GetCurrentBanner>(u"GetCurrentBanner")
          .Method<&A::ResetBanner>(u"ResetBanner")
          .Property<&A::UpdateDbUrl, &A::SetUpdateDbUrl>(u"UpdateDbUrl")
          .Property<&A::UpdateOcxUrl, &A::SetUpdateOcxUrl>(u"UpdateOcxUrl")
          .Property<&A::TraceUrl, &A::SetTraceUrl>(u"TraceUrl")
          .ObjectProperty<&A::context, &A::set_context>(u"context")
          .Build();
  return info;
}

cContext& Actions::Context() const {
  if (!context_) automation::Raise(automation::err::kObjectVariableNotSet);
  return *context_;
}

bool Actions::ShowBanner(const String& bannerCode) {
  cContext& context = Context();
  // Letter case counts: b7 after B7 is a new choice.
  if (bannerCode != context.Banner()) {
    context.SetBanner(bannerCode);
    IncrementBannerCounter(bannerCode, kShowKey, context);
    TraceBannerAction(bannerCode, kShowKey, {}, context);
  }
  WriteBannerValue(context.Banner(), kLastShownKey, Variant(Now(context)), context);
  return true;
}

String Actions::DefaultEmptyPage() const { return Context().ServiziTirsaPage(); }
void Actions::SetDefaultEmptyPage(const String& v) { Context().SetServiziTirsaPage(v); }

Ref<Facts> Actions::GetFacts() const { return Context().CurrentFacts(); }

String ComponentVersion(int major, int minor, int revision, bool addRevision) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%d.%02d", major, minor % 100);
  std::string text = buffer;
  if (addRevision) text += "." + std::to_string(revision);
  return automation::FromUtf8(text);
}

String Actions::GetComponentVersion(bool lAddRevision) {
  return ComponentVersion(BREVALCORE_VERSION_MAJOR, BREVALCORE_VERSION_MINOR, BREVALCORE_VERSION_PATCH,
                          lAddRevision);
}

String UrlEncode(StringView text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  String out;
  out.reserve(text.size() * 3);
  for (char16_t c : text) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) {
      out.push_back(c);
    } else if (c == u' ') {
      out.push_back(u'+');
    } else {
      // Characters outside the code page come out as "?", as the single-byte conversion does.
      const std::string bytes = automation::ToCp1252(StringView(&c, 1));
      const auto byte = static_cast<unsigned char>(bytes.empty() ? '?' : bytes[0]);
      out.push_back(u'%');
      out.push_back(static_cast<char16_t>(kHex[byte >> 4]));
      out.push_back(static_cast<char16_t>(kHex[byte & 0xF]));
    }
  }
  return out;
}

String Actions::URLEncode(const String& text) { return UrlEncode(text); }

String Actions::GetCurrentBanner() const { return automation::ToUpper(Context().Banner()); }

void Actions::ResetBanner() { Context().SetBanner(String()); }

String Actions::UpdateDbUrl() const { return ReadBannerValue(kSettingsSection, kUpdateDbUrlKey, Context()); }
void Actions::SetUpdateDbUrl(const String& v) {
  WriteBannerValue(kSettingsSection, kUpdateDbUrlKey, Variant(v), Context());
}
String Actions::UpdateOcxUrl() const { return ReadBannerValue(kSettingsSection, kUpdateOcxUrlKey, Context()); }
void Actions::SetUpdateOcxUrl(const String& v) {
  WriteBannerValue(kSettingsSection, kUpdateOcxUrlKey, Variant(v), Context());
}
String Actions::TraceUrl() const { return ReadBannerValue(kSettingsSection, kTraceUrlKey, Context()); }
void Actions::SetTraceUrl(const String& v) { WriteBannerValue(kSettingsSection, kTraceUrlKey, Variant(v), Context()); }

}  // namespace brevalcore::rules
