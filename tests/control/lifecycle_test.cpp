#include "tests/control/control_fixture.h"

namespace brevalcore::control::testing {
namespace {

TEST_F(ControlTest, CreationShowsTheBlankPageWithoutStartingAnything) {
  Control();
  EXPECT_EQ(Navigations(), std::vector<std::string>{"about:blank"});
  EXPECT_TRUE(browser_.silent());
  EXPECT_FALSE(Control().IsInitialized());
  EXPECT_FALSE(Control().HasScript());
  EXPECT_EQ(world_.engines, 0);
}

TEST_F(ControlTest, StartLoadsTheScriptWithTheThreeObjectsAndRunsBeforeInitialize) {
  ASSERT_TRUE(Start());
  EXPECT_TRUE(Control().IsInitialized());
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(world_.statements, std::vector<std::string>{"BeforeInitialize"});
  EXPECT_EQ(world_.objects, (std::vector<std::string>{"actions:Actions", "conditions:Conditions", "commands:Commands"}));
  EXPECT_EQ(ToUtf8(Control().context()->PathTempBanner()), bannerFolder_.string());
  auto application = Control().Application();
  EXPECT_EQ(ToUtf8(application->SerialNumber()), "123");
  EXPECT_EQ(ToUtf8(application->Software()), "ABC");
  EXPECT_EQ(ToUtf8(application->ResBannerPath()), controlFolder_.string());
  EXPECT_EQ(ToUtf8(Control().OfflinePage()), Url("offline.html"));
  // Init does not navigate: the page stays blank until a work-flow call chooses one.
  EXPECT_EQ(Navigations(), std::vector<std::string>{"about:blank"});
}

// Every start-up failure gives one report naming Init and switches banners off; the host still
// sees a successful initialisation.
TEST_F(ControlTest, StartUpFailuresReportInitAndSwitchBannersOff) {
  struct Row {
    const char* name;
    const char* script;  // nullptr: no banner.script at all
    std::string number;
  };
  const std::vector<Row> rows = {
      {"missing script", nullptr, "53"},
      {"syntax error", "Sub BeforeInitialize\nSYNTAX ERROR\nEnd Sub\n", "1002"},
      {"no BeforeInitialize", "Sub StartPrescription\nEnd Sub\n", "35"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    control_.reset();
    ui_ = ui::ScriptedUserInterface();
    fs::remove(bannerFolder_ / "banner.script");
    if (row.script) WriteBannerFile("banner.script", row.script);
    EXPECT_TRUE(Start());
    EXPECT_TRUE(Control().IsInitialized());
    EXPECT_FALSE(Control().Application()->EnableBanners());
    ASSERT_EQ(ui_.shown().size(), 1u);
    const auto& shown = ui_.shown()[0];
    EXPECT_EQ(shown.styleCode, ui::style::kOkOnly);
    EXPECT_EQ(ToUtf8(shown.title), "Info Controllo Utente");
    const std::string text = ToUtf8(shown.text);
    EXPECT_EQ(text.rfind("Error " + row.number + " (", 0), 0u) << text;
    EXPECT_NE(text.find(") in procedure Init of Controllo utente"), std::string::npos) << text;
    // Banners stay off: no later call runs the script.
    const size_t runs = world_.statements.size();
    EXPECT_TRUE(Control().StartPrescription());
    EXPECT_EQ(world_.statements.size(), runs);
  }
}

TEST_F(ControlTest, BannersOffAtStartCreateNothingAndHideTheView) {
  factories_.Register(u"BVCTracing.Tracing", [] { return Ref<automation::Object>(new rules::cContext()); });
  Control().Tracing().reset();
  EXPECT_TRUE(Start(false));
  EXPECT_TRUE(Control().IsInitialized());
  EXPECT_FALSE(browser_.IsVisible());
  EXPECT_EQ(ToUtf8(Control().DefaultPage()), "about:blank");
  EXPECT_EQ(ToUtf8(Control().OfflinePage()), "about:blank");
  EXPECT_FALSE(Control().HasScript());
  EXPECT_FALSE(Control().HasRuleObjects());
  EXPECT_FALSE(Control().Tracing());
}

TEST_F(ControlTest, AnUnregisteredTracerIsNoFailure) {
  factories_.Unregister(u"BVCTracing.Tracing");
  EXPECT_TRUE(Start());
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_TRUE(Control().Application()->EnableBanners());
  EXPECT_TRUE(Control().HasScript());
}

TEST_F(ControlTest, AnUnusablePackageStopsTheStartBeforeTheScript) {
  update_ = {false, true, false, 0};
  EXPECT_TRUE(Start());
  EXPECT_FALSE(Control().Application()->EnableBanners());
  EXPECT_TRUE(world_.statements.empty());
  EXPECT_TRUE(MessageTexts().empty());  // the update reports its own failures
}

TEST_F(ControlTest, InitializeRepeatsTheWholeStartOnAFreshEngine) {
  ASSERT_TRUE(Start());
  Ref<automation::Object> before = Control().context();
  EXPECT_TRUE(Control().Initialize());
  EXPECT_TRUE(Control().Initialize());
  EXPECT_EQ(world_.statements, (std::vector<std::string>{"BeforeInitialize", "BeforeInitialize", "BeforeInitialize"}));
  EXPECT_EQ(world_.resets, 3);
  EXPECT_EQ(Ref<automation::Object>(Control().context()), before);  // the facts are untouched
}

TEST_F(ControlTest, ResBannersPathAndRemotePageParameters) {
  struct Row {
    String resPath;
    String parameters;
    std::string expectedResPath, serial, software, version;
  };
  const std::string controlFolder = controlFolder_.string();
  const std::vector<Row> rows = {
      {u"", u"", controlFolder, "", "", ""},
      {u" ", u"Software=A&Software=B", " ", "", "A", ""},
      {u"/res", u"Versione=", "/res", "", "", ""},
      {u"/res", u"serial_number=9&software=x&xVersione=7", "/res", "9", "x", "7"},
  };
  for (const auto& row : rows) {
    Control().InitializeContext(false, u"APP", u"D1", u"", u"", u"", false, row.resPath, row.parameters);
    auto application = Control().Application();
    EXPECT_EQ(ToUtf8(application->ResBannerPath()), row.expectedResPath);
    EXPECT_EQ(ToUtf8(application->SerialNumber()), row.serial) << ToUtf8(row.parameters);
    EXPECT_EQ(ToUtf8(application->Software()), row.software) << ToUtf8(row.parameters);
    EXPECT_EQ(ToUtf8(application->Version()), row.version) << ToUtf8(row.parameters);
  }
}

TEST_F(ControlTest, DestroyReleasesTheEngineOnlyWithBannersOn) {
  ASSERT_TRUE(Start());
  Control().AddDrugToPrescription(u"aic1", u"A", true, u"x", {});
  EXPECT_TRUE(Control().Destroy());
  EXPECT_FALSE(Control().HasScript());
  EXPECT_EQ(Control().context()->CurrentFacts()->Prescription()->Drugs()->Count(), 0);
  // After Destroy the next run gets an empty engine: it fails and switches banners off.
  Control().PrescribingDrug(u"aic1", u"", false, u"", {});
  EXPECT_FALSE(Control().Application()->EnableBanners());
  ASSERT_EQ(MessageTexts().size(), 1u);
  EXPECT_NE(MessageTexts()[0].find("in procedure OnBefore"), std::string::npos);

  ASSERT_TRUE(Control().Initialize());  // banners stay off: Initialize does not touch the facts
  EXPECT_TRUE(Control().Destroy());
  EXPECT_TRUE(Control().HasScript());  // with banners off Destroy releases nothing
}

TEST_F(ControlTest, MembersAndEventsKeepTheirDispatchIds) {
  const ClassInfo& info = BrevalcoreBanner::Class();
  const std::vector<std::pair<const char16_t*, automation::DispId>> members = {
      {u"InitializeContext", 1}, {u"SetPatient", 2}, {u"StartPrescription", 3}, {u"Destroy", 4},
      {u"CurrentPrescriptionDrug", 10}, {u"EndPrescription", 11}, {u"ShowAutoSubstituteList", 12},
      {u"IsInitialized", 15}, {u"ForceFocusBack", 16}, {u"EndLoadingPrescriptionItems", 18},
      {u"Doctor", 21}, {u"Initialize", 22}, {u"context", 23},
  };
  for (const auto& [name, id] : members) EXPECT_EQ(info.Find(name), id) << ToUtf8(name);
  const std::vector<std::pair<const char16_t*, automation::DispId>> events = {
      {u"OnCommandClick", 1}, {u"OnCommandClickExtended", 5}, {u"OnRequiredDrugDescription", 2},
      {u"OnClick", 3}, {u"OnRequiredField", 4},
  };
  ASSERT_EQ(info.events.size(), events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(info.events[i].name, events[i].first);
    EXPECT_EQ(info.events[i].id, events[i].second);
  }
}

TEST_F(ControlTest, TheHostCanDriveTheControlByName) {
  std::vector<Variant> args = {Variant(true),   Variant(u"APP"), Variant(u"D1"), Variant(u"080"), Variant(u"101"),
                               Variant(u"MG"),  Variant(true),   Variant(u""),   Variant(u"")};
  Control().Invoke(Control().GetIdOfName(u"initializecontext"), automation::kInvokeMethod, args);
  std::vector<Variant> none;
  EXPECT_TRUE(Control().Invoke(Control().GetIdOfName(u"IsInitialized"), automation::kInvokeMethod, none).AsBool());
  std::vector<Variant> value = {Variant(u"aic1")};
  Control().Invoke(Control().GetIdOfName(u"CurrentPrescriptionDrug"), automation::kInvokePut, value);
  EXPECT_EQ(world_.statements.back(), "AfterSelect");
}

}  // namespace
}  // namespace brevalcore::control::testing
