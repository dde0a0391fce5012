#include <gtest/gtest.h>

#include "commands/link.h"
#include "commands/procedures.h"
#include "fake_host.h"

namespace brevalcore::commands {
namespace {

using testing::U16;
using testing::U8;

TEST(CommandLink, SplitsAtEveryQuestionMarkIntoExactlyThreeFields) {
  struct Row { const char* href; bool hasFragment; const char* command; const char* param; const char* options; };
  const Row rows[] = {
      {"banner.html#PRESCRIBE?aic1&aic2?MODE=1&NOTREPLACEABLE=2", true, "PRESCRIBE", "aic1&aic2", "MODE=1&NOTREPLACEABLE=2"},
      {"#link?x", true, "link", "x", ""},
      {"#SHELL", true, "SHELL", "", ""},
      {"#PRESCRIBE?aic1?x?y", true, "PRESCRIBE", "aic1", "x"},
      {"#PRESCRIBE?", true, "PRESCRIBE", "", ""},
      {"a#b#LINK?http://h/p%20q", true, "LINK", "http://h/p%20q", ""},  // last "#", no decoding
      {"#", true, "", "", ""},
      {"#?? x ", true, "", "", " x "},
      {"page.html", false, "", "", ""},
  };
  for (const Row& row : rows) {
    const auto fragment = LinkFragment(U16(row.href));
    ASSERT_EQ(fragment.has_value(), row.hasFragment) << row.href;
    if (!fragment) continue;
    const CommandLink link = ParseCommandLink(*fragment);
    EXPECT_EQ(U8(link.command), row.command) << row.href;
    EXPECT_EQ(U8(link.param), row.param) << row.href;
    EXPECT_EQ(U8(link.options), row.options) << row.href;
  }
}

TEST(CommandLink, OptionsLookAtTheFirstTwoItemsOnly) {
  struct Row { const char* options; const char* key; const char* value; };  // value nullptr: malformed
  const Row rows[] = {
      {"MODE=1&NOTREPLACEABLE=2", "NOTREPLACEABLE", "2"},
      {"mode=1&notreplaceable=2", "NOTREPLACEABLE", "2"},
      {"A=1&B=2&NOTREPLACEABLE=2", "NOTREPLACEABLE", "def"},  // third item not read
      {"&NOTREPLACEABLE=0", "NOTREPLACEABLE", "0"},
      {"", "NOTREPLACEABLE", "def"},
      {"NOTREPLACEABLE", "NOTREPLACEABLE", nullptr},
      {"NOTREPLACEABLE=1=2", "NOTREPLACEABLE", "1"},
      {"NOTREPLACEABLE=", "NOTREPLACEABLE", ""},
      {"X=1&NOTREPLACEABLEX=1", "NOTREPLACEABLE", "def"},
  };
  for (const Row& row : rows) {
    const auto value = GetLinkOption(U16(row.options), U16(row.key), u"def");
    if (!row.value) {
      EXPECT_FALSE(value.has_value()) << row.options;
    } else {
      ASSERT_TRUE(value.has_value()) << row.options;
      EXPECT_EQ(U8(*value), row.value) << row.options;
    }
  }
}

TEST(CommandLink, SetOptionRewritesEveryOccurrenceOfTheMatchingItem) {
  struct Row { const char* before; const char* value; const char* after; bool ok; };
  const Row rows[] = {
      {"MODE=1&NOTREPLACEABLE=2", "1", "MODE=1&NOTREPLACEABLE=1", true},
      {"notreplaceable=2&MODE=1", "0", "NOTREPLACEABLE=0&MODE=1", true},
      {"NOTREPLACEABLE=2&NOTREPLACEABLE=2", "1", "NOTREPLACEABLE=1&NOTREPLACEABLE=1", true},
      {"MODE=1", "1", "MODE=1", true},
      {"NOTREPLACEABLE", "1", "NOTREPLACEABLE", false},
  };
  for (const Row& row : rows) {
    String options = U16(row.before);
    EXPECT_EQ(SetLinkOption(options, u"NOTREPLACEABLE", U16(row.value)), row.ok) << row.before;
    EXPECT_EQ(U8(options), row.after) << row.before;
  }
}

}  // namespace
}  // namespace brevalcore::commands
