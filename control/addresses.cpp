#include "control/addresses.h"

#include "rules/context.h"
#include "storage/paths.h"

namespace brevalcore::control {

using automation::FromUtf8;
using automation::ToUtf8;

namespace {

// Item `index` of `code` split at every "?", or empty.
String QuestionPart(StringView code, size_t index) {
  size_t begin = 0;
  for (size_t i = 0; i < index; ++i) {
    const size_t mark = code.find(u'?', begin);
    if (mark == StringView::npos) return {};
    begin = mark + 1;
  }
  const size_t end = code.find(u'?', begin);
  return String(code.substr(begin, end == StringView::npos ? StringView::npos : end - begin));
}

String FileUrl(StringView folder, StringView file) {
  return kFileScheme + FromUtf8(storage::BuildPath(ToUtf8(folder), ToUtf8(file)));
}

}  // namespace

String BannerName(StringView code) { return QuestionPart(code, 0); }
String BannerParameters(StringView code) { return QuestionPart(code, 1); }

String GetOfflinePageUrl(rules::cContext& context) {
  return FileUrl(context.PathTempBanner(), kOfflinePageFile);
}

String GetDefaultPageUrl(rules::cContext& context) {
  if (context.Offline()) return GetOfflinePageUrl(context);
  return context.ServiziTirsaPage() + context.CurrentFacts()->RemotePageParameters();
}

String GetBannerUrl(rules::cContext& context, StringView defaultUrl) {
  const String banner = context.Banner();
  if (banner.empty()) return String(defaultUrl);
  String url = FileUrl(context.PathTempBanner(), BannerName(banner) + kBannerPageExtension);
  const String parameters = BannerParameters(banner);
  if (!parameters.empty()) url += u"?" + parameters;
  return url;
}

String FindRemotePageParameter(StringView parameters, StringView name) {
  const String key = automation::ToLower(String(name) + u"=");
  size_t begin = 0;
  while (begin < parameters.size()) {
    size_t end = parameters.find(u'&', begin);
    if (end == StringView::npos) end = parameters.size();
    const String item = automation::ToLower(parameters.substr(begin, end - begin));
    const size_t at = item.find(key);
    if (at != String::npos) return String(parameters.substr(begin + at + key.size(), end - begin - at - key.size()));
    begin = end + 1;
  }
  return {};
}

}  // namespace brevalcore::control
