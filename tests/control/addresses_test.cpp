#include <gtest/gtest.h>

#include "control/addresses.h"
#include "rules/context.h"

namespace brevalcore::control {
namespace {

using automation::ToUtf8;

TEST(Addresses, BannerCodesSplitAtQuestionMarks) {
  struct Row { String code, name, parameters; };
  const std::vector<Row> rows = {
      {u"flu", u"flu", u""},
      {u"flu?id=7", u"flu", u"id=7"},
      {u"a?x=1?y=2", u"a", u"x=1"},
      {u"a?", u"a", u""},
      {u"?x", u"", u"x"},
      {u"", u"", u""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(BannerName(row.code), row.name) << ToUtf8(row.code);
    EXPECT_EQ(BannerParameters(row.code), row.parameters) << ToUtf8(row.code);
  }
}

TEST(Addresses, PagesFollowTheBannerTheDefaultAndOfflineMode) {
  auto context = automation::MakeRef<rules::cContext>();
  context->SetPathTempBanner(u"/data/Brevalcore/");
  context->SetServiziTirsaPage(u"https://servizi.example/home");
  context->CurrentFacts()->Application()->SetSoftware(u"ABC");
  struct Row { String banner; bool offline; std::string expected; };
  const std::string defaultPage = "https://servizi.example/home" + ToUtf8(context->CurrentFacts()->RemotePageParameters());
  const std::vector<Row> rows = {
      {u"flu?id=7", false, "file:///data/Brevalcore/flu.html?id=7"},
      {u"a?x=1?y=2", false, "file:///data/Brevalcore/a.html?x=1"},
      {u"a?", false, "file:///data/Brevalcore/a.html"},
      {u"", false, "DEFAULT"},
      {u"", true, "DEFAULT"},  // offline mode changes the default the caller gives
      {u"B12", true, "file:///data/Brevalcore/B12.html"},
  };
  for (const auto& row : rows) {
    context->SetBanner(row.banner);
    context->SetOffline(row.offline);
    EXPECT_EQ(ToUtf8(GetBannerUrl(*context, u"DEFAULT")), row.expected) << ToUtf8(row.banner);
  }
  context->SetOffline(false);
  EXPECT_EQ(ToUtf8(GetDefaultPageUrl(*context)), defaultPage);
  EXPECT_NE(defaultPage.find("Software=ABC"), std::string::npos);
}

TEST(Addresses, RemotePageParametersAreFoundAnywhereInAnItem) {
  struct Row { String parameters, name, expected; };
  const std::vector<Row> rows = {
      {u"?Serial_Number=123&Software=ABC&Versione=2.1", u"Serial_Number", u"123"},
      {u"?Serial_Number=123&Software=ABC&Versione=2.1", u"Software", u"ABC"},
      {u"?software=ABC", u"Software", u"ABC"},
      {u"?xVersione=7", u"Versione", u"7"},
      {u"?Software=A&Software=B", u"Software", u"A"},
      {u"?Versione=", u"Versione", u""},
      {u"?Software=A=B", u"Software", u"A=B"},
      {u"", u"Software", u""},
      {u"?SoftwareX=1", u"Software", u""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(FindRemotePageParameter(row.parameters, row.name), row.expected) << ToUtf8(row.parameters);
}

}  // namespace
}  // namespace brevalcore::control
