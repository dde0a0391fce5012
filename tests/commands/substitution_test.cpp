#include <gtest/gtest.h>

#include "commands/procedures.h"
#include "fake_host.h"

namespace brevalcore::commands {
namespace {

using testing::FakeHost;
using testing::U16;
using testing::U8;
using Entries = std::vector<std::pair<String, String>>;

TEST(AutoSubstitute, CheckRaisesOnlyForAStoredNonBlankValue) {
  struct Row { const char* name; bool loading; bool enabled; const char16_t* current; const char16_t* stored; bool raised; };
  const Row rows[] = {
      {"stored", false, true, u"aic1", u"aic9", true},
      {"stored value kept as read", false, true, u"aic1", u" aic9 ", true},
      {"spaces only", false, true, u"aic1", u"   ", false},
      {"nothing stored", false, true, u"aic2", nullptr, false},
      {"loading items", true, true, u"aic1", u"aic9", false},
      {"banners off", false, false, u"aic1", u"aic9", false},
      {"no current drug", false, true, u"", u"aic9", false},
  };
  for (const Row& row : rows) {
    FakeHost host;
    host.loading = row.loading;
    host.bannersEnabled = row.enabled;
    host.currentDrug = row.current;
    if (row.stored) host.ini[kAutoSubstituteSection] = {{u"aic1", row.stored}};
    EXPECT_EQ(CheckAutoSubstitute(host), row.raised) << row.name;
    if (row.raised)
      EXPECT_EQ(host.log, std::vector<std::string>{"OnCommandClick AUTOSUBSTITUTE " + U8(row.stored) + "&1"}) << row.name;
    else
      EXPECT_TRUE(host.log.empty()) << row.name;
  }
}

TEST(AutoSubstitute, SubstituteEverStoresUnderTheDrugTheHostKnows) {
  struct Row { const char16_t* current; const char16_t* prescribing; Entries stored; };
  const Row rows[] = {
      {u"aic1", u"aic5", {{u"aic1", u"aic9&x"}}},
      {u"", u"aic5", {{u"aic5", u"aic9&x"}}},
      {u"", u"", {}},
  };
  for (const Row& row : rows) {
    FakeHost host;
    host.currentDrug = row.current;
    host.prescribingAic = row.prescribing;
    host.ini[kAutoSubstituteSection] = {};
    SaveAutoSubstitution(host, u"old", u"x");  // a different key is left alone
    host.ClickAnchor("#SUBSTITUTEEVER?aic9&x");  // the whole Param is stored
    Entries expected = {{u"old", u"x"}};
    expected.insert(expected.end(), row.stored.begin(), row.stored.end());
    EXPECT_EQ(host.ini[kAutoSubstituteSection], expected);
    EXPECT_EQ(host.log.back(), "OnClick 1");
  }
}

TEST(AutoSubstitute, ListDialog) {
  struct Row {
    const char* name;
    Entries section;
    std::vector<const char*> answers;
    Entries after;
    bool written;
  };
  const Entries three = {{u"b1", u"b9"}, {u"a1", u"a9"}, {u"c1", u"c9"}};
  const std::vector<Row> rows = {
      {"OK writes back in sorted order", three, {"OK"}, three, true},
      {"remove one, OK", three, {"Elimina Alfa; OK"}, {{u"b1", u"b9"}, {u"c1", u"c9"}}, true},
      {"remove by line number", three, {"Elimina 3;OK"}, {{u"a1", u"a9"}, {u"b1", u"b9"}}, true},
      {"remove all, OK empties the section", three, {"Elimina tutti;OK"}, {}, true},
      {"remove all, Annulla keeps everything", three, {"Elimina tutti;Annulla"}, three, false},
      {"closed without answer", three, {}, three, false},
  };
  for (const Row& row : rows) {
    FakeHost host;
    host.descriptions = {{u"a1", u"Alfa"}, {u"a9", u"AlfaNuovo"}, {u"b1", u"Beta"}, {u"b9", u"BetaNuovo"},
                         {u"c1", u"Gamma"}, {u"c9", u"GammaNuovo"}};
    host.ini[kAutoSubstituteSection] = row.section;
    for (const char* a : row.answers) host.ui.AnswerNext(U16(a));
    EXPECT_TRUE(ShowAutoSubstituteList(host)) << row.name;
    ASSERT_EQ(host.ui.shown().size(), 1u) << row.name;
    EXPECT_EQ(host.ui.shown()[0].kind, u"PersInformer");
    std::vector<std::string> lines;
    for (const auto& l : host.ui.shown()[0].lines) lines.push_back(U8(l));
    EXPECT_EQ(lines, (std::vector<std::string>{"Alfa    sostituito da:    AlfaNuovo", "Beta    sostituito da:    BetaNuovo",
                                               "Gamma    sostituito da:    GammaNuovo"}))
        << row.name;
    Entries after = host.ini[kAutoSubstituteSection];
    if (row.written) {
      // the list's sorted order, not the section's former order
      Entries sorted = row.after;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(after, sorted) << row.name;
    } else {
      EXPECT_EQ(after, row.after) << row.name;
    }
    EXPECT_EQ(host.log.back(), "refresh") << row.name;
  }
}

TEST(AutoSubstitute, ListDialogEdgeCases) {
  {  // empty section: message only, nothing written
    FakeHost host;
    EXPECT_TRUE(ShowAutoSubstituteList(host));
    ASSERT_EQ(host.ui.shown().size(), 1u);
    EXPECT_EQ(host.ui.shown()[0].kind, u"msgbox");
    EXPECT_EQ(host.ui.shown()[0].text, text::kNoAutoSubstitutions);
    EXPECT_EQ(host.ui.shown()[0].styleCode, 64);
    EXPECT_EQ(host.ui.shown()[0].title, u"Canale informativo");
    EXPECT_EQ(host.log, std::vector<std::string>{"refresh"});
  }
  {  // a line without "=" is not shown and is dropped by OK; silent host repeats descriptions
    struct Host : FakeHost {
      String ReadIniSection(StringView) override { return String(u"junk\0a1=a9\0", 11); }
    } h2;
    h2.descriptions = {{u"a1", u"Alfa"}};
    h2.ui.AnswerNext(u"OK");
    EXPECT_TRUE(ShowAutoSubstituteList(h2));
    EXPECT_EQ(h2.ui.shown()[0].lines, std::vector<String>{u"Alfa    sostituito da:    Alfa"});
    EXPECT_EQ(h2.ini[kAutoSubstituteSection], (Entries{{u"a1", u"a9"}}));
  }
}

TEST(AutoSubstitute, NotReplaceableQuestion) {
  struct Row { const char* options; const char* answer; const char* after; bool asked; };
  const Row rows[] = {
      {"MODE=1&NOTREPLACEABLE=2", "Yes", "MODE=1&NOTREPLACEABLE=1", true},
      {"MODE=1&NOTREPLACEABLE=2", "No", "MODE=1&NOTREPLACEABLE=0", true},
      {"NOTREPLACEABLE=2&NOTREPLACEABLE=2", "Yes", "NOTREPLACEABLE=1&NOTREPLACEABLE=1", true},
      {"NOTREPLACEABLE=1", nullptr, "NOTREPLACEABLE=1", false},
      {"NOTREPLACEABLE=0&MODE=1", nullptr, "NOTREPLACEABLE=0&MODE=1", false},
      {"MODE=1", nullptr, "MODE=1", false},
      {"", nullptr, "", false},
  };
  for (const Row& row : rows) {
    FakeHost host;
    if (row.answer) host.ui.AnswerNext(U16(row.answer));
    String options = U16(row.options);
    ResolveNotReplaceable(host, options);
    EXPECT_EQ(U8(options), row.after) << row.options;
    EXPECT_EQ(host.ui.shown().size(), row.asked ? 1u : 0u) << row.options;
    if (row.asked) {
      EXPECT_EQ(host.ui.shown()[0].styleCode, 36);
      EXPECT_EQ(host.ui.shown()[0].text, text::kNotReplaceableQuestion);
    }
  }
}

}  // namespace
}  // namespace brevalcore::commands
