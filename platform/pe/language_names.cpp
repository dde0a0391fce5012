#include "platform/pe/language_names.h"

#include <algorithm>
#include <iterator>

namespace brevalcore::pe {

namespace {

struct Entry {
  uint16_t id;
  const char* name;
};

// Known locales (language + sub-language), sorted by identifier. The platform names the
// language only, not the country, so 0x0409 and 0x0809 are both "English".
constexpr Entry kLanguages[] = {
    {0x0000, "English"},    {0x0401, "Arabic"},     {0x0402, "Bulgarian"},  {0x0403, "Catalan"},
    {0x0404, "Chinese"},    {0x0405, "Czech"},      {0x0406, "Danish"},     {0x0407, "German"},
    {0x0408, "Greek"},      {0x0409, "English"},    {0x040A, "Spanish"},    {0x040B, "Finnish"},
    {0x040C, "French"},     {0x040D, "Hebrew"},     {0x040E, "Hungarian"},  {0x040F, "Icelandic"},
    {0x0410, "Italian"},    {0x0411, "Japanese"},   {0x0412, "Korean"},     {0x0413, "Dutch"},
    {0x0414, "Norwegian"},  {0x0415, "Polish"},     {0x0416, "Portuguese"}, {0x0418, "Romanian"},
    {0x0419, "Russian"},    {0x041A, "Croatian"},   {0x041B, "Slovak"},     {0x041C, "Albanian"},
    {0x041D, "Swedish"},    {0x041E, "Thai"},       {0x041F, "Turkish"},    {0x0420, "Urdu"},
    {0x0421, "Indonesian"}, {0x0422, "Ukrainian"},  {0x0423, "Belarusian"}, {0x0424, "Slovenian"},
    {0x0425, "Estonian"},   {0x0426, "Latvian"},    {0x0427, "Lithuanian"}, {0x0429, "Persian"},
    {0x042A, "Vietnamese"}, {0x042D, "Basque"},     {0x042F, "Macedonian"}, {0x0436, "Afrikaans"},
    {0x0437, "Georgian"},   {0x0438, "Faroese"},    {0x0439, "Hindi"},      {0x043A, "Maltese"},
    {0x043E, "Malay"},      {0x0456, "Galician"},   {0x0804, "Chinese"},    {0x0807, "German"},
    {0x0809, "English"},    {0x080A, "Spanish"},    {0x080C, "French"},     {0x0810, "Italian"},
    {0x0813, "Dutch"},      {0x0814, "Norwegian"},  {0x0816, "Portuguese"}, {0x081A, "Serbian"},
    {0x0C07, "German"},     {0x0C09, "English"},    {0x0C0A, "Spanish"},    {0x0C0C, "French"},
    {0x0C1A, "Serbian"},    {0x1007, "German"},     {0x1009, "English"},    {0x100C, "French"},
    {0x1407, "German"},     {0x1409, "English"},    {0x140C, "French"},     {0x1809, "English"},
    {0x1C09, "English"},
};

}  // namespace

std::string LanguageName(uint16_t languageId) {
  const auto* end = std::end(kLanguages);
  const auto* it = std::lower_bound(std::begin(kLanguages), end, languageId,
                                    [](const Entry& e, uint16_t id) { return e.id < id; });
  if (it == end || it->id != languageId) return {};
  return it->name;
}

}  // namespace brevalcore::pe
