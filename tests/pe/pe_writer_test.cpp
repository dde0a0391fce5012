// Libraries written by our writer: the default language look-up over synthesised language
// sets, string-table blocks, named types, and truncated or damaged copies refused cleanly.
#include <gtest/gtest.h>

#include "platform/pe/pe_writer.h"
#include "platform/pe/version_resource.h"

namespace brevalcore::pe {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

ResourceItem Banner(uint16_t id, uint16_t language, const std::string& text) {
  return {ResourceId{0, u"BANNER"}, ResourceId{id, {}}, language, Bytes(text)};
}

std::string Found(const PeImage& image, const char* name) {
  const auto data = image.FindResource("BANNER", name);
  return data ? std::string(data->begin(), data->end()) : "(none)";
}

TEST(PeWriter, DefaultLanguageLookUp) {
  const struct {
    const char* name;
    std::vector<uint16_t> languages;
    uint16_t preferred;
    uint16_t chosen;
  } rows[] = {
      {"neutral beats everything", {0x0407, 0x0000, 0x0409, 0x0410}, 0x0410, 0x0000},
      {"preferred before English", {0x0407, 0x0409, 0x0410}, 0x0410, 0x0410},
      {"English by default", {0x0407, 0x0409, 0x0410}, 0x0409, 0x0409},
      {"primary language of the preferred one", {0x0407, 0x0010}, 0x0810, 0x0010},
      {"English when the preferred is missing", {0x0407, 0x0409}, 0x0410, 0x0409},
      {"lowest id otherwise", {0x040C, 0x0407, 0x0413}, 0x0410, 0x0407},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<ResourceItem> items;
    for (uint16_t language : row.languages) items.push_back(Banner(2, language, std::to_string(language)));
    auto image = PeImage::Parse(WriteResourceLibrary(items), nullptr);
    ASSERT_TRUE(image);
    image->SetPreferredLanguage(row.preferred);
    EXPECT_EQ(Found(*image, "#2"), std::to_string(row.chosen));
  }
}

TEST(PeWriter, StringBlocksAndNames) {
  std::map<uint16_t, std::u16string> strings{
      {1, u"uno"}, {15, u"quindici"}, {16, u"sedici"}, {17, u"perch\u00E9"}, {255, u"x"}, {300, u"\u20AC"}};
  for (PeFormat format : {PeFormat::Pe32, PeFormat::Pe32Plus}) {
    WriteOptions options;
    options.format = format;
    auto image = PeImage::Parse(WriteResourceLibrary(BuildStringTable(strings), options), nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->format(), format);
    for (uint16_t id = 0; id < 320; ++id) {
      const auto it = strings.find(id);
      EXPECT_EQ(image->LoadStringUtf16(id).value_or(u""), it == strings.end() ? u"" : it->second) << id;
    }
    EXPECT_EQ(image->LoadString(17, 256), "perch\xE9");
    EXPECT_EQ(image->LoadString(300, 256), "\x80");  // the euro sign in Windows-1252
  }
}

TEST(PeWriter, NamedTypesAndNamesMatchWithoutCase) {
  const std::vector<ResourceItem> items = {
      {ResourceId{0, u"BANNER"}, ResourceId{0, u"INDEX"}, 0, Bytes("by name")},
      {ResourceId{0, u"ALTRO"}, ResourceId{2, {}}, 0, Bytes("other type")},
      Banner(2, 0, "by number"),
  };
  auto image = PeImage::Parse(WriteResourceLibrary(items), nullptr);
  ASSERT_TRUE(image);
  const struct { const char* type; const char* name; const char* want; } rows[] = {
      {"BANNER", "#2", "by number"}, {"banner", "#2", "by number"}, {"BANNER", "index", "by name"},
      {"ALTRO", "#2", "other type"}, {"BANNER", "2", "(none)"},     {"#2", "#2", "(none)"},
      {"BANNER", "#02", "by number"}, {"BANNER", "#70000", "(none)"},
  };
  for (const auto& row : rows) {
    const auto data = image->FindResource(row.type, row.name);
    EXPECT_EQ(data ? std::string(data->begin(), data->end()) : "(none)", row.want) << row.type << " " << row.name;
  }
}

// Every truncation and a sweep of single-byte damage over a whole library: each copy is either
// refused or answers its look-ups without reading outside itself (the sanitizer build checks
// the latter).
TEST(PeWriter, DamagedCopiesNeverReadOutside) {
  VersionFields version;
  version.strings = {{u"CompanyName", u"Esempio"}, {u"FileVersion", u"1.2.3.4"}};
  std::vector<ResourceItem> items = BuildStringTable({{2, u"index.html"}, {3, u"banner.script"}});
  items.push_back(Banner(2, 0, "<html></html>"));
  items.push_back({ResourceId{kRtVersion, {}}, ResourceId{1, {}}, 0, BuildVersionResource(version)});
  const std::vector<uint8_t> good = WriteResourceLibrary(items);
  ASSERT_TRUE(PeImage::Parse(good, nullptr));

  auto exercise = [](std::vector<uint8_t> bytes) {
    LoadError error;
    auto image = PeImage::Parse(std::move(bytes), &error);
    if (!image) {
      EXPECT_EQ(error.code, 193);
      return;
    }
    for (uint16_t id = 0; id < 20; ++id) (void)image->LoadString(id, 256);
    (void)image->FindResource("BANNER", "#2");
    if (auto v = VersionResource::FromImage(*image)) {
      (void)v->Fixed();
      (void)v->Query("\\StringFileInfo\\041004E4\\FileVersion");
    }
  };
  size_t refused = 0;
  for (size_t length = 0; length < good.size(); length += 3) {
    auto copy = good;
    copy.resize(length);
    if (!PeImage::Parse(copy, nullptr)) ++refused;
    exercise(std::move(copy));
  }
  EXPECT_GT(refused, 0u);
  for (size_t at = 0; at < 0x200 + 0x200 && at < good.size(); ++at) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0x80}, uint8_t{0xFF}}) {
      auto copy = good;
      copy[at] = value;
      exercise(std::move(copy));
    }
  }
}

TEST(VersionResource, MalformedBlocksAreRefused) {
  const std::vector<uint8_t> good = BuildVersionResource(VersionFields{});
  ASSERT_TRUE(VersionResource::Parse(good));
  const struct { const char* name; size_t at; uint8_t value; } rows[] = {
      {"root length below its header", 0, 4},
      {"key without its NUL", 6 + 2 * 15, 'X'},
  };
  for (const auto& row : rows) {
    auto copy = good;
    copy[row.at] = row.value;
    if (row.at == 6 + 2 * 15) copy.resize(6 + 2 * 15 + 2);
    EXPECT_FALSE(VersionResource::Parse(copy)) << row.name;
  }
  EXPECT_FALSE(VersionResource::Parse({}));
}

}  // namespace
}  // namespace brevalcore::pe
