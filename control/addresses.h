#pragma once
// The addresses the control shows: banner pages from banner codes, the default page, the
// offline page, and the items of the host's remote-page parameter text.
#include "platform/automation/text.h"

namespace brevalcore::rules { class cContext; }

namespace brevalcore::control {

using automation::String;
using automation::StringView;

inline constexpr char16_t kBlankPage[] = u"about:blank";
inline constexpr char16_t kFileScheme[] = u"file://";
inline constexpr char16_t kOfflinePageFile[] = u"offline.html";
inline constexpr char16_t kBannerPageExtension[] = u".html";

// A banner code is a name, optionally followed by "?" and parameters; anything from a second
// "?" on is dropped.
String BannerName(StringView code);
String BannerParameters(StringView code);

// "file://" + banner folder + "/offline.html".
String GetOfflinePageUrl(rules::cContext& context);
// The script's default page followed by the facts' remote-page parameters, or the offline
// page when the control is offline.
String GetDefaultPageUrl(rules::cContext& context);
// The page of the banner recorded in the context, or `defaultUrl` when none is recorded.
String GetBannerUrl(rules::cContext& context, StringView defaultUrl);

// The value of item `name` in an "&"-separated parameter text: the text after the first
// "name=" found in the first item that contains it, compared without regard to case and
// anywhere in the item; empty when there is none.
String FindRemotePageParameter(StringView parameters, StringView name);

}  // namespace brevalcore::control
