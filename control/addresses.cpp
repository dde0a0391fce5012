#include "control/addresses.h"

#include "platform/automation/error.h"
#include "rules/context.h"
#include "storage/file_names.h"
#include "storage/name_lookup.h"
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

[[noreturn]] void RaiseBadPageName(StringView file, const std::string& reason) {
  automation::Raise(automation::err::kBadFileNameOrNumber, String(),
                    automation::Ascii(automation::ErrorText(automation::err::kBadFileNameOrNumber)) + u": the page " +
                        FromUtf8(storage::QuotedName(file)) + u" " + FromUtf8(reason));
}

}  // namespace

String BannerName(StringView code) { return QuestionPart(code, 0); }
String BannerParameters(StringView code) { return QuestionPart(code, 1); }

String PageFileName(StringView folder, StringView file) {
  if (const auto problem = storage::FileNameProblem(file)) RaiseBadPageName(file, *problem);
  if (file.front() == u'.') RaiseBadPageName(file, "begins with a dot, so it is a hidden file");
  const storage::PlainFileLookup found = storage::FindPlainFile(ToUtf8(folder), file);
  storage::RaiseIfUnusable(found);
  return found.status == storage::PlainFileLookup::Status::kFound ? FromUtf8(found.name) : String(file);
}

String CheckedOfflinePageUrl(rules::cContext& context) {
  return FileUrl(context.PathTempBanner(), PageFileName(context.PathTempBanner(), kOfflinePageFile));
}

String GetOfflinePageUrl(rules::cContext& context) {
  try {
    return CheckedOfflinePageUrl(context);
  } catch (const automation::AutomationError&) {
    return FileUrl(context.PathTempBanner(), kOfflinePageFile);  // reported once, at start-up
  }
}

String GetDefaultPageUrl(rules::cContext& context) {
  if (context.Offline()) return GetOfflinePageUrl(context);
  return context.ServiziTirsaPage() + context.CurrentFacts()->RemotePageParameters();
}

String GetBannerUrl(rules::cContext& context, StringView defaultUrl) {
  const String banner = context.Banner();
  if (banner.empty()) return String(defaultUrl);
  const String folder = context.PathTempBanner();
  String url = FileUrl(folder, PageFileName(folder, BannerName(banner) + kBannerPageExtension));
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
