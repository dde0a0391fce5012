// Every recorded expectation of the PE fixtures, read from the fixture files: strings, BANNER
// resources, version queries, language names; and every malformed file refused cleanly.
#include <openssl/sha.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "platform/automation/text.h"
#include "platform/pe/language_names.h"
#include "platform/pe/pe_image.h"
#include "platform/pe/version_resource.h"
#include "tests/pe/json_lite.h"

namespace brevalcore::pe {
namespace {

using testing::Json;
namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(BREVALCORE_SHARED_DIR) / "fixtures" / "pe";
constexpr int kProbedIds = 40;

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(bytes.data(), bytes.size(), digest);
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned char b : digest) {
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

std::string Cp1252(const std::string& utf8) { return automation::ToCp1252(automation::FromUtf8(utf8)); }

std::vector<std::string> FixtureNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".dll") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class GoodFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(GoodFixture, MatchesRecordedPlatform) {
  const fs::path dll = kFixtures / GetParam();
  const Json expected = testing::ReadJsonFile(fs::path(dll).replace_extension(".json").string());
  LoadError error;
  const auto image = PeImage::Load(dll.string(), &error);
  ASSERT_EQ(image != nullptr, expected["load"]["ok"].boolean) << error.message;
  EXPECT_EQ(image->format(), expected["format"].text == "PE32" ? PeFormat::Pe32 : PeFormat::Pe32Plus);

  for (int id = 0; id <= kProbedIds; ++id) {
    const Json* text = expected["strings"].Find(std::to_string(id));
    EXPECT_EQ(image->LoadString(static_cast<uint16_t>(id), 256), text ? Cp1252(text->text) : "") << "string " << id;

    const Json* banner = expected["banner"].Find(std::to_string(id));
    const auto data = image->FindResource("BANNER", "#" + std::to_string(id));
    ASSERT_EQ(data.has_value(), banner != nullptr) << "BANNER " << id;
    if (banner) {
      EXPECT_EQ(data->size(), (*banner)["size"].AsU64()) << "BANNER " << id;
      EXPECT_EQ(Sha256Hex(*data), (*banner)["sha256"].text) << "BANNER " << id;
    }
  }

  const Json& version = expected["version"];
  const auto resource = VersionResource::FromImage(*image);
  ASSERT_EQ(resource.has_value(), version["size"].AsU64() != 0);
  if (!resource) return;
  EXPECT_EQ(resource->InfoSize(), version["size"].AsU64());
  for (const auto& [path, want] : version["queries"].members) {
    const VersionQuery got = resource->Query(path);
    EXPECT_EQ(got.ok, want["ok"].boolean) << path;
    EXPECT_EQ(got.length, want["len"].AsU64()) << path;
    if (!want["ok"].boolean) continue;
    const Json& value = want["value"];
    if (path == "\\") {
      const auto fixed = resource->Fixed();
      ASSERT_TRUE(fixed);
      const std::pair<const char*, uint32_t> fields[] = {
          {"dwSignature", fixed->signature},         {"dwStrucVersion", fixed->structVersion},
          {"dwFileVersionMS", fixed->fileVersionMS}, {"dwFileVersionLS", fixed->fileVersionLS},
          {"dwProductVersionMS", fixed->productVersionMS}, {"dwProductVersionLS", fixed->productVersionLS},
          {"dwFileFlagsMask", fixed->fileFlagsMask}, {"dwFileFlags", fixed->fileFlags},
          {"dwFileOS", fixed->fileOS},               {"dwFileType", fixed->fileType},
          {"dwFileSubtype", fixed->fileSubtype},     {"dwFileDateMS", fixed->fileDateMS},
          {"dwFileDateLS", fixed->fileDateLS}};
      for (const auto& [name, field] : fields) EXPECT_EQ(field, value[name].AsU64()) << name;
    } else if (value.kind == Json::Kind::Array) {
      const auto translations = resource->Translations();
      ASSERT_EQ(translations.size(), value.items.size());
      for (size_t i = 0; i < translations.size(); ++i) {
        EXPECT_EQ(translations[i].language, value.items[i].items[0].AsU64());
        EXPECT_EQ(translations[i].codePage, value.items[i].items[1].AsU64());
      }
    } else {
      EXPECT_EQ(got.text, Cp1252(value.text)) << path;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Recorded, GoodFixture, ::testing::ValuesIn(FixtureNames(kFixtures)),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

class BadFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(BadFixture, IsRefusedCleanly) {
  LoadError error;
  const auto image = PeImage::Load((kFixtures / "bad" / GetParam()).string(), &error);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(error.code, 193);
  EXPECT_FALSE(error.message.empty());
}

INSTANTIATE_TEST_SUITE_P(Malformed, BadFixture, ::testing::ValuesIn(FixtureNames(kFixtures / "bad")),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST(LanguageNames, MatchRecordedTable) {
  const Json names = testing::ReadJsonFile((kFixtures / "language-names.json").string());
  for (const auto& [id, want] : names.members) {
    const std::string got = LanguageName(static_cast<uint16_t>(std::stoul(id, nullptr, 16)));
    EXPECT_EQ(got, want["name"].text) << id;
    // The platform returns the length with its NUL, 0 when it has no name.
    EXPECT_EQ(got.empty() ? 0 : got.size() + 1, want["ret"].AsU64()) << id;
  }
}

TEST(PeImage, MissingFileReportsFileNotFound) {
  LoadError error;
  EXPECT_EQ(PeImage::Load((kFixtures / "no-such.dll").string(), &error), nullptr);
  EXPECT_EQ(error.code, 2);
}

TEST(PeImage, StringIsCutToTheBuffer) {
  const auto image = PeImage::Load((kFixtures / "pkg_full.pe32.dll").string(), nullptr);
  ASSERT_TRUE(image);
  const struct { int buffer; std::string want; } rows[] = {
      {0, ""}, {1, ""}, {2, "i"}, {6, "index"}, {11, "index.html"}, {256, "index.html"}};
  for (const auto& row : rows) EXPECT_EQ(image->LoadString(2, row.buffer), row.want) << row.buffer;
}

}  // namespace
}  // namespace brevalcore::pe
