#include <gtest/gtest.h>

#include "brevalcore_version.h"
#include "rules/actions.h"
#include "rules/history.h"
#include "rules/tracing.h"
#include "tests/rules/fixture.h"
#include "tests/rules/helpers.h"

namespace brevalcore::rules {
namespace {

using namespace testing;
using automation::MakeRef;

// Stands in for the tracing component and keeps what it was sent.
class RecordingTracer : public automation::DispatchObject<RecordingTracer> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info =
        automation::ClassBuilder<RecordingTracer>(u"Tracing").Method<&RecordingTracer::Trace>(u"Trace").Build();
    return info;
  }
  Variant Trace(std::span<Variant> args) {
    std::vector<std::string> call;
    for (auto& a : args) call.push_back(Text(a));
    calls.push_back(call);
    return Variant();
  }
  std::vector<std::vector<std::string>> calls;
};

class ActionsTest : public HistoryFixture {
 protected:
  void SetUp() override {
    HistoryFixture::SetUp();
    actions_ = MakeRef<Actions>();
    SetRef(*actions_, u"context", Variant(context_));
    tracer_ = MakeRef<RecordingTracer>();
    TracingComponent() = tracer_;
    auto facts = context_->CurrentFacts();
    facts->Application()->SetSoftware(u"QKV");
    facts->Doctor()->SetRegion(u"080");
    facts->Doctor()->SetProvince(u"RM");
    facts->Doctor()->SetUid(u"u1");
    facts->Doctor()->SetRole(u"MMG");
  }
  void TearDown() override {
    TracingComponent().reset();
    HistoryFixture::TearDown();
  }
  Variant Act(automation::StringView member, std::vector<Variant> args = {}) {
    return Call(*actions_, member, std::move(args));
  }

  Ref<Actions> actions_;
  Ref<RecordingTracer> tracer_;
};

TEST_F(ActionsTest, SlotOrder) {
  const std::vector<const char16_t*> members = {
      u"ShowBanner", u"DefaultEmptyPage", u"GetFacts", u"GetComponentVersion", u"URLEncode", u"GetCurrentBanner",
      u"ResetBanner", u"UpdateDbUrl", u"UpdateOcxUrl", u"TraceUrl", u"context"};
  for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(actions_->GetIdOfName(members[i]), static_cast<int>(i + 1));
}

TEST_F(ActionsTest, ShowingTheSameBannerTwiceCountsAndTracesOnce) {
  EXPECT_TRUE(ToBool(Act(u"ShowBanner", {Variant(u"B7")})));
  clock_.AdvanceSeconds(90);
  Act(u"ShowBanner", {Variant(u"B7")});
  EXPECT_EQ(ToUtf8(context_->Banner()), "B7");
  EXPECT_EQ(Ini(u"B7", u"SHOW"), "1");
  EXPECT_EQ(Ini(u"B7", u"DATA"), "15/03/2026 10:31:30");
  ASSERT_EQ(tracer_->calls.size(), 1u);
  EXPECT_EQ(tracer_->calls[0], (std::vector<std::string>{"B7", "SHOW", "", "QKV", "080", "RM", "u1", "MMG"}));

  Act(u"ShowBanner", {Variant(u"b7")});  // letter case counts
  EXPECT_EQ(Ini(u"b7", u"SHOW"), "2") << "profile sections ignore case";
  EXPECT_EQ(tracer_->calls.size(), 2u);
  EXPECT_EQ(Text(Act(u"GetCurrentBanner")), "B7");
}

TEST_F(ActionsTest, ParametersStayInTheChoiceButNotInTheHistory) {
  Act(u"ShowBanner", {Variant(u"B7?x=1")});
  EXPECT_EQ(ToUtf8(context_->Banner()), "B7?x=1");
  EXPECT_EQ(Ini(u"B7", u"SHOW"), "1");
  EXPECT_EQ(Ini(u"B7", u"DATA"), "15/03/2026 10:30:00");
  ASSERT_EQ(tracer_->calls.size(), 1u);
  EXPECT_EQ(tracer_->calls[0][0], "B7");

  Act(u"ResetBanner");
  EXPECT_EQ(Text(Act(u"GetCurrentBanner")), "");
  EXPECT_EQ(tracer_->calls.size(), 1u) << "a reset is not traced";
}

TEST_F(ActionsTest, EmptyChoiceClearsWithoutCounting) {
  Act(u"ShowBanner", {Variant(u"B7")});
  Act(u"ShowBanner", {Variant(u"")});
  EXPECT_EQ(ToUtf8(context_->Banner()), "");
  ASSERT_EQ(tracer_->calls.size(), 2u);
  EXPECT_EQ(tracer_->calls[1][0], "");
  EXPECT_EQ(Ini(u"", u"DATA"), "15/03/2026 10:30:00");
  EXPECT_EQ(Ini(u"", u"SHOW"), "");
}

TEST_F(ActionsTest, TracingNeverFails) {
  TracingComponent().reset();
  EXPECT_TRUE(ToBool(Act(u"ShowBanner", {Variant(u"B8")})));
  TracingComponent() = MakeRef<Collection>();  // an object without Trace
  EXPECT_TRUE(ToBool(Act(u"ShowBanner", {Variant(u"B9")})));
  EXPECT_EQ(Ini(u"B9", u"SHOW"), "1");
}

TEST_F(ActionsTest, UrlEncodeVersionAndAddresses) {
  struct Row { String in; const char* out; };
  for (const Row& row : std::vector<Row>{{u"x y&z", "x+y%26z"}, {u"", ""}, {u"\t", "%09"}, {u"\u00E8", "%E8"},
                                         {u"-._~%", "%2D%2E%5F%7E%25"}, {u"\u20AC", "%80"}, {u"\u4E2D", "%3F"},
                                         {u"Az09", "Az09"}})
    EXPECT_EQ(Text(Act(u"URLEncode", {Variant(row.in)})), row.out);

  EXPECT_EQ(ToUtf8(ComponentVersion(1, 27, 0, true)), "1.27.0");
  EXPECT_EQ(ToUtf8(ComponentVersion(1, 27, 0, false)), "1.27");
  EXPECT_EQ(ToUtf8(ComponentVersion(1, 5, 3, false)), "1.05");
  EXPECT_EQ(ToUtf8(ComponentVersion(2, 123, 9, true)), "2.23.9");
  const std::string full = Text(Act(u"GetComponentVersion"));
  EXPECT_EQ(std::count(full.begin(), full.end(), '.'), 2) << full;
  EXPECT_EQ(full.substr(0, full.find('.')), std::to_string(BREVALCORE_VERSION_MAJOR));
  const std::string shortForm = Text(Act(u"GetComponentVersion", {Variant(false)}));
  EXPECT_EQ(std::count(shortForm.begin(), shortForm.end(), '.'), 1) << shortForm;

  Let(*actions_, u"UpdateDbUrl", Variant(u"http://db.example/x"));
  Let(*actions_, u"TraceUrl", Variant(u"http://trace.example/"));
  EXPECT_EQ(Ini(u"BVC", u"UpdateDbUrl"), "http://db.example/x");
  auto other = MakeRef<Actions>();  // another control of the same doctor
  auto otherContext = MakeRef<cContext>();
  otherContext->CurrentFacts()->Doctor()->SetCode(u"D1");
  other->set_context(otherContext);
  EXPECT_EQ(Text(Get(*other, u"UpdateDbUrl")), "http://db.example/x");
  EXPECT_EQ(Text(Get(*other, u"TraceUrl")), "http://trace.example/");
  EXPECT_EQ(Text(Get(*other, u"UpdateOcxUrl")), "");

  Let(*actions_, u"DefaultEmptyPage", Variant(u"http://page"));
  EXPECT_EQ(ToUtf8(context_->ServiziTirsaPage()), "http://page");
  EXPECT_EQ(Call(*actions_, u"GetFacts").AsObject(), context_->CurrentFacts().get());
}

}  // namespace
}  // namespace brevalcore::rules
