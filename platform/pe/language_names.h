#pragma once
// Names of languages by identifier, in place of the platform's VerLanguageNameA.
#include <cstdint>
#include <string>

namespace brevalcore::pe {

// The language's name ("Italian" for 0x0410 and 0x0810), or an empty string for an
// identifier the table does not know. The neutral identifier 0 names the user's language,
// as the platform resolves it: English, as recorded.
std::string LanguageName(uint16_t languageId);

}  // namespace brevalcore::pe
