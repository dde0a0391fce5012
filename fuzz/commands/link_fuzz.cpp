// Link and option parsing over arbitrary hrefs: nothing may crash, the parts must be
// consistent with the text they came from, and no file name with a folder part is accepted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "commands/link.h"
#include "commands/procedures.h"
#include "storage/file_names.h"

using namespace brevalcore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const automation::String href = automation::FromCp1252(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto fragment = commands::LinkFragment(href);
  if (!fragment) return 0;
  const commands::CommandLink link = commands::ParseCommandLink(*fragment);
  if (link.param.find(u'#') != automation::String::npos || link.options.find(u'?') != automation::String::npos ||
      link.options.find(u'#') != automation::String::npos)
    std::abort();
  for (const char16_t* key : {u"NOTREPLACEABLE", u"MODE"}) {
    const auto value = commands::GetLinkOption(link.options, key, u"none");
    automation::String options = link.options;
    const bool ok = commands::SetLinkOption(options, key, u"1");
    if (ok != value.has_value()) std::abort();
    if (ok && *value != u"none") {
      const auto again = commands::GetLinkOption(options, key, u"none");
      if (!again || *again != u"1") std::abort();
    }
  }
  // A link's file name goes through the name rules before any lookup.
  if (!storage::FileNameProblem(link.param) && link.param.find_first_of(u"/\\") != automation::String::npos)
    std::abort();
  (void)storage::QuotedName(link.param);
  return 0;
}
