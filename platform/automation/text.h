#pragma once
// Text helpers shared by every layer. Automation strings are UTF-16 (std::u16string), as the
// platform's are, so that lengths and positions count UTF-16 code units. Files and the
// terminal use UTF-8 or Windows-1252; these functions convert at those edges.
#include <string>
#include <string_view>

namespace brevalcore::automation {

using String = std::u16string;
using StringView = std::u16string_view;

// UTF-8 <-> UTF-16. Invalid UTF-8 sequences become U+FFFD; lone surrogates are encoded as
// three-byte sequences so that nothing is lost on a round trip.
String FromUtf8(std::string_view utf8);
std::string ToUtf8(StringView text);
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 (the platform's single-byte code page). Unmapped characters become '?'.
String FromCp1252(std::string_view bytes);
std::string ToCp1252(StringView text);

// Case mapping as the platform's string functions do it for the characters rule scripts use
// (ASCII, Latin-1 and Latin Extended-A); other characters are left unchanged.
char16_t ToUpperChar(char16_t c);
char16_t ToLowerChar(char16_t c);
String ToUpper(StringView text);
String ToLower(StringView text);

// Case-insensitive equality and ordering, used for member names and collection keys.
bool EqualsNoCase(StringView a, StringView b);
int CompareNoCase(StringView a, StringView b);

// Convenience for ASCII literals written as narrow strings (member names, error texts).
String Ascii(std::string_view ascii);

}  // namespace brevalcore::automation
