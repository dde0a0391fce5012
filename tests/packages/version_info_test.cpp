// CFileVersionInfo over the recorded libraries, and the version-number texts.
#include <gtest/gtest.h>

#include "storage/packages/file_version_info.h"
#include "tests/packages/package_test_support.h"

namespace brevalcore::packages {
namespace {

using namespace testing;

TEST(FormatFixedVersion, PadsWithoutCutting) {
  const struct { uint16_t v[4]; const char16_t* text; } rows[] = {
      {{1, 2, 3, 4}, u"1.02.0304"},     {{1, 2, 0, 4}, u"1.02.0004"},     {{10, 20, 0, 30}, u"10.20.0030"},
      {{1, 2, 100, 4}, u"1.02.10004"},  {{2, 0, 1, 5}, u"2.00.0105"},     {{0, 0, 0, 0}, u"0.00.0000"},
      {{65535, 65535, 65535, 65535}, u"65535.65535.6553565535"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(FormatFixedVersion((uint32_t{row.v[0]} << 16) | row.v[1], (uint32_t{row.v[2]} << 16) | row.v[3]),
              row.text);
}

struct FixtureRow {
  const char* file;
  bool available;
  const char16_t* verFile;
  const char16_t* verProduct;
  const char16_t* flags;
  const char16_t* os;
  const char16_t* type;
  const char16_t* subType;
  const char16_t* language;
  const char16_t* company;
  const char16_t* fileVersion;
};

TEST(CFileVersionInfo, ReadsTheRecordedLibraries) {
  const FixtureRow rows[] = {
      {"ver_fixed_a.pe32.dll", true, u"1.02.10004", u"10.20.0030", u"Debug PreRel", u"NT-Win32", u"Driver", u"",
       u"Italian", u"Esempio", u"1.2.100.4"},
      {"ver_fixed_b.pe64.dll", true, u"10.20.0030", u"1.02.0304", u"Debug PreRel Patched Private Info Special",
       u"Unknown", u"Font", u"TrueType Font", u"", u"", u""},
      {"ver_fixed_c.pe32.dll", true, u"1.02.0004", u"65535.65535.6553565535", u"Patched Special", u"DOS-Win32", u"Application",
       u"", u"English", u"", u""},
      {"ver_fallback.pe64.dll", true, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, u"Italian",
       u"Fallback Company Ltd", u"3.0.0.1 en"},
      {"pkg_full.pe32.dll", true, u"2.00.0105", nullptr, u"", u"NT-Win32", u"DLL", u"", u"Italian",
       u"Esempio Software S.r.l.", u"2.0.1.5"},
      {"nover.pe32.dll", false, u"", u"", u"", u"", u"", u"", u"", u"", u""},
  };
  for (const FixtureRow& row : rows) {
    SCOPED_TRACE(row.file);
    CFileVersionInfo info;
    info.SetFullPathName(automation::FromUtf8((kPeFixtures / row.file).string()));
    EXPECT_EQ(info.Available(), row.available);
    // A row leaves a field out (null or zero) where the fixture does not pin it.
    const auto expectWhenGiven = [](const auto& actual, const auto& expected) {
      if (expected) {
        EXPECT_EQ(actual, expected);
      }
    };
    expectWhenGiven(info.VerFile(), row.verFile);
    expectWhenGiven(info.VerProduct(), row.verProduct);
    expectWhenGiven(info.FileFlags(), row.flags);
    expectWhenGiven(info.FileOS(), row.os);
    expectWhenGiven(info.FileType(), row.type);
    expectWhenGiven(info.FileSubType(), row.subType);
    EXPECT_EQ(info.Language(), row.language);
    EXPECT_EQ(info.CompanyName(), row.company);
    EXPECT_EQ(info.FileVersion(), row.fileVersion);
    if (row.available) {
      EXPECT_EQ(info.VerStructure(), u"1.0");
    }
  }
}

TEST(CFileVersionInfo, FallbackTableSuppliesEveryValue) {
  CFileVersionInfo info;
  info.SetFullPathName(automation::FromUtf8((kPeFixtures / "ver_fallback.pe32.dll").string()));
  EXPECT_EQ(info.FileDescription(), u"English description");
  EXPECT_EQ(info.ProductName(), u"");  // only the Italian table has it
  EXPECT_EQ(info.PredefinedValue(13), u"TM one");
  EXPECT_EQ(info.PredefinedValue(14), u"TM two");
}

TEST(CFileVersionInfo, RefreshKeepsWhatItDoesNotReach) {
  CFileVersionInfo info;
  info.SetFullPathName(automation::FromUtf8((kPeFixtures / "pkg_full.pe32.dll").string()));
  const String path = info.FullPathName();
  // No version information: Available goes, the texts stay.
  info.SetFullPathName(automation::FromUtf8((kPeFixtures / "nover.pe32.dll").string()));
  EXPECT_FALSE(info.Available());
  EXPECT_EQ(info.FileVersion(), u"2.0.1.5");
  // No translation table: fixed texts change, the values stay.
  info.SetFullPathName(automation::FromUtf8((kPeFixtures / "ver_fixed_b.pe32.dll").string()));
  EXPECT_EQ(info.VerFile(), u"10.20.0030");
  EXPECT_EQ(info.CompanyName(), u"Esempio Software S.r.l.");
  EXPECT_EQ(info.FileSubType(), u"TrueType Font");
  // Then a driver with an unknown sub-type leaves the font's sub-type text.
  info.SetFullPathName(automation::FromUtf8((kPeFixtures / "ver_fixed_a.pe32.dll").string()));
  EXPECT_EQ(info.FileSubType(), u"TrueType Font");
  // An empty path cannot be made absolute: nothing changes.
  info.SetFullPathName(u"");
  EXPECT_EQ(info.FileType(), u"Driver");
  EXPECT_NE(path, info.FullPathName());
}

TEST(CFileVersionInfo, PredefinedNamesAndRange) {
  const struct { int32_t which; const char16_t* name; } rows[] = {
      {-1, u""}, {0, u"Language"}, {2, u"Company Name"}, {8, u"Original Filename"}, {14, u"LegalTrademarks2"}, {15, u""}};
  CFileVersionInfo info;
  for (const auto& row : rows) {
    EXPECT_EQ(CFileVersionInfo::PredefinedName(row.which), row.name) << row.which;
    EXPECT_EQ(info.PredefinedValue(row.which), u"") << row.which;
  }
}

}  // namespace
}  // namespace brevalcore::packages
