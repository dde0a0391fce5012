#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "rules/actions.h"
#include "rules/commands.h"
#include "rules/conditions.h"
#include "rules/history.h"
#include "tests/rules/fixture.h"
#include "tests/rules/helpers.h"

namespace brevalcore::rules {
namespace {

using namespace testing;
using automation::MakeRef;

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class HistoryTest : public HistoryFixture {
 protected:
  void SetUp() override {
    HistoryFixture::SetUp();
    conditions_ = MakeRef<Conditions>();
    commands_ = MakeRef<Commands>();
    actions_ = MakeRef<Actions>();
    conditions_->set_context(context_);
    SetRef(*commands_, u"context", Variant(context_));
    actions_->set_context(context_);
  }
  Variant Ask(automation::StringView member, std::vector<Variant> args) {
    return Call(*conditions_, member, std::move(args));
  }
  void Do(automation::StringView member, std::vector<Variant> args) { Call(*commands_, member, std::move(args)); }

  Ref<Conditions> conditions_;
  Ref<Commands> commands_;
  Ref<Actions> actions_;
};

TEST_F(HistoryTest, CommandsSlotOrder) {
  const std::vector<const char16_t*> members = {u"context", u"DoSetBannerKeyData", u"DoSetBannerPatientKeyData",
                                                u"DoSetLastDateOfBannerVisualizationForPatient",
                                                u"DoSetFirstDateOfBannerVisualizationForPatient"};
  for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(commands_->GetIdOfName(members[i]), static_cast<int>(i + 1));
}

TEST_F(HistoryTest, BannerParametersShareTheBannerSection) {
  Do(u"DoSetBannerKeyData", {Variant(u"B12?x=1"), Variant(u"K"), Variant(u"v1")});
  EXPECT_EQ(Ini(u"B12", u"K"), "v1");
  EXPECT_EQ(Text(Ask(u"GetBannerKeyData", {Variant(u"B12"), Variant(u"K")})), "v1");

  actions_->ShowBanner(u"B12?x=1");
  EXPECT_EQ(Ini(u"B12", u"DATA"), "15/03/2026 10:30:00");
  for (const char16_t* code : {u"B12?x=1", u"B12"}) {
    EXPECT_TRUE(ToBool(Ask(u"BannerAlreadyShownToday", {Variant(code)})));
    Variant last = Ask(u"GetLastDateOfBannerVisualization", {Variant(code)});
    ASSERT_EQ(last.type(), automation::VarType::Date);
    EXPECT_EQ(last.AsDate(), At(15, 3, 2026, 10, 30, 0));
  }
  clock_.Set(At(16, 3, 2026, 0, 0, 1));
  EXPECT_FALSE(ToBool(Ask(u"BannerAlreadyShownToday", {Variant(u"B12")})));
  EXPECT_FALSE(ToBool(Ask(u"BannerAlreadyShownToday", {Variant(u"NEVER")})));
  EXPECT_EQ(Ask(u"GetLastDateOfBannerVisualization", {Variant(u"NEVER")}).AsDate(), At(1, 1, 2000));
}

TEST_F(HistoryTest, PerPatientKeysUseIdOrName) {
  struct Row { const char16_t* id; const char16_t* name; const char* key; };
  for (const Row& row : std::vector<Row>{{u"   ", u"Rossi", "LASTDATE_Rossi"}, {u"P7", u"Rossi", "LASTDATE_P7"},
                                         {u" P8 ", u"", "LASTDATE_ P8 "}}) {
    context_->CurrentFacts()->Patient()->SetId(row.id);
    context_->CurrentFacts()->Patient()->SetName(row.name);
    Do(u"DoSetLastDateOfBannerVisualizationForPatient", {Variant(u"B1")});
    EXPECT_EQ(Ini(u"B1", automation::FromUtf8(row.key)), "15/03/2026") << row.key;
    EXPECT_EQ(Text(Ask(u"GetLastDateOfBannerVisualizationForPatient", {Variant(u"B1")})), "15/03/2026");
  }
  Do(u"DoSetBannerPatientKeyData", {Variant(u"B1?q"), Variant(u"ANSWER"), Variant(u"si")});
  EXPECT_EQ(Ini(u"B1", u"ANSWER_ P8 "), "si");
  EXPECT_EQ(Text(Ask(u"GetBannerPatientKeyData", {Variant(u"B1"), Variant(u"ANSWER")})), "si");
  context_->CurrentFacts()->Patient()->SetId(u"OTHER");
  EXPECT_EQ(Text(Ask(u"GetLastDateOfBannerVisualizationForPatient", {Variant(u"B1")})), "");
}

// A banner name, key or value with a line break or a NUL would plant sections and keys in the
// doctor's file: the write is refused with error 5 naming the text, and the file is unchanged.
TEST_F(HistoryTest, TextsThatWouldBreakTheFileAreRefused) {
  SetIni(u"B1", u"K", u"old");
  const std::string before = ReadFileBytes(IniFile());
  struct Row {
    std::function<void()> write;
    const char* named;
  } rows[] = {
      {[&] { Do(u"DoSetBannerKeyData", {Variant(u"B1"), Variant(u"K"), Variant(u"v\r\n[AutoSubstitute]\r\naic1=aic2")}); },
       "the value \"v\\r\\n[AutoSubstitute]"},
      {[&] { Do(u"DoSetBannerKeyData", {Variant(u"B1"), Variant(u"K\n[BVC]"), Variant(u"v")}); }, "the key \"K\\n[BVC]\""},
      {[&] { Do(u"DoSetBannerPatientKeyData", {Variant(u"B1"), Variant(std::u16string(u"K\0x", 3)), Variant(u"v")}); },
       "holds a NUL character"},
      {[&] { actions_->ShowBanner(u"B1]\r\n[BVC"); }, "the banner \"B1]\\r\\n[BVC\""},
      {[&] { IncrementBannerCounter(u"B1\r\nX=1", u"SHOW", *context_); }, "holds a line break"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.named);
    try {
      row.write();
      ADD_FAILURE() << "written";
    } catch (const automation::AutomationError& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_NE(automation::ToUtf8(e.description()).find(row.named), std::string::npos)
          << automation::ToUtf8(e.description());
    }
    EXPECT_EQ(ReadFileBytes(IniFile()), before);
  }
}

TEST_F(HistoryTest, FirstVisualisationIsWrittenOnce) {
  context_->CurrentFacts()->Patient()->SetId(u"P1");
  EXPECT_TRUE(ToBool(Ask(u"IsFirstBannerVisualizationForPatient", {Variant(u"B2")})));
  Do(u"DoSetFirstDateOfBannerVisualizationForPatient", {Variant(u"B2")});
  EXPECT_TRUE(ToBool(Ask(u"IsFirstBannerVisualizationForPatient", {Variant(u"B2")})));
  clock_.Set(At(16, 3, 2026, 9));
  Do(u"DoSetFirstDateOfBannerVisualizationForPatient", {Variant(u"B2")});
  EXPECT_EQ(Text(Ask(u"GetFirstDateOfBannerVisualizationForPatient", {Variant(u"B2")})), "15/03/2026");
  EXPECT_FALSE(ToBool(Ask(u"IsFirstBannerVisualizationForPatient", {Variant(u"B2")})));
  // A stored text that is not a date counts as no first date.
  SetIni(u"B2", u"FIRSTDATE_P1", u"garbage");
  EXPECT_TRUE(ToBool(Ask(u"IsFirstBannerVisualizationForPatient", {Variant(u"B2")})));
  Do(u"DoSetFirstDateOfBannerVisualizationForPatient", {Variant(u"B2")});
  EXPECT_EQ(Ini(u"B2", u"FIRSTDATE_P1"), "16/03/2026");
}

TEST_F(HistoryTest, PrescriptionCountAndSlots) {
  // Slot 1 of 3 matches the 1st, 4th, 7th... prescription of the day.
  const std::vector<bool> slotOneOfThree = {true, false, false, true, false, false, true};
  for (size_t i = 0; i < slotOneOfThree.size(); ++i) {
    CountPrescription(*context_);
    EXPECT_EQ(ToBool(Ask(u"MatchPrescriptionsCount", {Variant(int16_t{3}), Variant(int16_t{1})})), slotOneOfThree[i])
        << "prescription " << i + 1;
    EXPECT_TRUE(ToBool(Ask(u"MatchPrescriptionsCount", {Variant(int16_t{1}), Variant(int16_t{1})})));
    EXPECT_FALSE(ToBool(Ask(u"MatchPrescriptionsCount", {Variant(int16_t{2}), Variant(int16_t{3})})));
    if (i == 0) {
      EXPECT_EQ(Ini(u"BVC", u"PrescriptionsCount"), "0");
      EXPECT_EQ(Ini(u"BVC", u"Date"), "15/03/2026 00:00:00");
    }
    if (i == 2) {
      EXPECT_EQ(Ini(u"BVC", u"PrescriptionsCount"), "2");
    }
  }
  clock_.Set(At(16, 3, 2026, 8));
  CountPrescription(*context_);
  EXPECT_EQ(Ini(u"BVC", u"PrescriptionsCount"), "0") << "a new day starts again";
  EXPECT_EQ(Ini(u"BVC", u"Date"), "16/03/2026 00:00:00");

  struct Row { const char16_t* stored; int32_t reads; };
  for (const Row& row : std::vector<Row>{{u"abc", 0}, {u"", 0}, {u"17", 17}, {u" 4 ", 4}}) {
    SetIni(u"BVC", u"PrescriptionsCount", row.stored);
    EXPECT_EQ(ReadPrescriptionsCount(*context_), row.reads) << automation::ToUtf8(row.stored);
  }
  SetIni(u"BVC", u"PrescriptionsCount", u"-4");
  EXPECT_TRUE(ToBool(Ask(u"MatchPrescriptionsCount", {Variant(int16_t{3}), Variant(int16_t{0})})))
      << "the remainder takes the sign of the count";
  EXPECT_EQ(ErrorOf([&] { Ask(u"MatchPrescriptionsCount", {Variant(int16_t{0}), Variant(int16_t{1})}); }),
            automation::err::kDivisionByZero);
}

TEST_F(HistoryTest, DateRanges) {
  clock_.Set(At(24, 12, 2026, 18));
  struct Row { const char16_t* ranges; bool matches; };
  const std::vector<Row> rows = {
      {u"", false},
      {u"|", false},
      {u"01/12/2026-24/12/2026", true},
      {u"25/12/2026-31/12/2026", false},
      {u"01/01/2026-23/12/2026|07/01/2027-31/01/2027", false},
      {u"|01/01/2026-23/12/2026||24/12/2026-24/12/2026", true},
      {u"24/12/2026 00:00:01-31/12/2026", false},  // a time takes part in the comparison
      {u"01/12/2026-24/12/2026-ignored", true},
  };
  for (const auto& row : rows)
    EXPECT_EQ(ToBool(Ask(u"MatchDateRange", {Variant(row.ranges)})), row.matches) << automation::ToUtf8(row.ranges);
  EXPECT_EQ(ErrorOf([&] { Ask(u"MatchDateRange", {Variant(u"01/12/2026")}); }), automation::err::kSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { Ask(u"MatchDateRange", {Variant(u"x-24/12/2026")}); }), automation::err::kTypeMismatch);
}

TEST_F(HistoryTest, CountersAndValues) {
  struct Row { const char16_t* stored; const char* next; };
  for (const Row& row : std::vector<Row>{{nullptr, "1"}, {u"41", "42"}, {u"abc", "1"}, {u" 7x", "8"}, {u"2.6", "4"}}) {
    if (row.stored) SetIni(u"B5", u"PRESCRIBE", row.stored);
    IncrementBannerCounter(u"B5?p", u"PRESCRIBE", *context_);
    EXPECT_EQ(Ini(u"B5", u"PRESCRIBE"), row.next);
  }
  IncrementBannerCounter(u"", u"PRESCRIBE", *context_);
  EXPECT_EQ(Ini(u"", u"PRESCRIBE"), "");

  // Dates are written as timestamps; counters, addresses and key data as they are.
  WriteBannerValue(u"B6", u"D1", Variant(At(2, 3, 2026, 4, 5, 6)), *context_);
  WriteBannerValue(u"B6", u"D2", Variant(u"2/3/2026"), *context_);
  WriteBannerValue(u"B6", u"N", Variant(u"41"), *context_);
  WriteBannerValue(u"B6", u"U", Variant(u"http://x/y?a=1"), *context_);
  WriteBannerKeyData(u"B6", u"K", Variant(u"2/3/2026"), *context_);
  EXPECT_EQ(Ini(u"B6", u"D1"), "02/03/2026 04:05:06");
  EXPECT_EQ(Ini(u"B6", u"D2"), "02/03/2026 00:00:00");
  EXPECT_EQ(Ini(u"B6", u"N"), "41");
  EXPECT_EQ(Ini(u"B6", u"U"), "http://x/y?a=1");
  EXPECT_EQ(Ini(u"B6", u"K"), "2/3/2026");
}

TEST(LeadingNumber, ReadsAsValDoes) {
  struct Row { const char16_t* text; double value; };
  for (const Row& row : std::vector<Row>{{u"", 0}, {u"41", 41}, {u"  12abc", 12}, {u"1 2", 12}, {u"-3", -3},
                                         {u"2.5", 2.5}, {u"1e3", 1000}, {u"1e", 1}, {u"x1", 0}, {u"1,5", 1}})
    EXPECT_DOUBLE_EQ(LeadingNumber(row.text), row.value) << automation::ToUtf8(row.text);
}

}  // namespace
}  // namespace brevalcore::rules
