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

// The name on disk of the page `file` of the banner folder, found whatever its case, as on the
// platform. A page that is not there keeps the name asked for: its navigation fails and the
// control goes offline, as designed. Raises AutomationError, naming the page, for a name that
// is no file name of the folder (a folder part, "..", a hidden name), for two files whose
// names differ only by case, and for an entry that is not a plain file (a link, a FIFO).
String PageFileName(StringView folder, StringView file);

// "file://" + banner folder + "/offline.html" (its name as found on disk). The start-up uses
// the checked form, which raises for an offline page that cannot be shown; later calls keep
// the name as written when the page has such a problem.
String CheckedOfflinePageUrl(rules::cContext& context);
String GetOfflinePageUrl(rules::cContext& context);
// The script's default page followed by the facts' remote-page parameters, or the offline
// page when the control is offline.
String GetDefaultPageUrl(rules::cContext& context);
// The page of the banner recorded in the context, or `defaultUrl` when none is recorded.
// Raises as PageFileName does.
String GetBannerUrl(rules::cContext& context, StringView defaultUrl);

// The value of item `name` in an "&"-separated parameter text: the text after the first
// "name=" found in the first item that contains it, compared without regard to case and
// anywhere in the item; empty when there is none.
String FindRemotePageParameter(StringView parameters, StringView name);

}  // namespace brevalcore::control
