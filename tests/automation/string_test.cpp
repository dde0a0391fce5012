// Strings as Variants hold them: one block for the record and the text, small blocks reused per
// thread, growth in place for a string no one else holds, and every block charged to the
// memory budget of the run that made it until it goes.
#include <gtest/gtest.h>

#include <thread>

#include "platform/automation/error.h"
#include "platform/automation/memory.h"
#include "platform/automation/variant.h"

namespace brevalcore::automation {
namespace {

String Units(size_t n, char16_t first = u'a') {
  String s(n, u' ');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char16_t>(first + i % 26);
  return s;
}

// Sizes either side of each block size, and past the largest.
constexpr size_t kSizes[] = {0, 1, 11, 12, 13, 27, 28, 29, 59, 60, 61, 123, 124, 125, 5000};

TEST(VariantStrings, HoldTheirTextAtEverySize) {
  for (size_t head : kSizes)
    for (size_t tail : {size_t{0}, size_t{1}, size_t{13}, size_t{300}}) {
      SCOPED_TRACE(testing::Message() << head << " + " << tail);
      const String a = Units(head), b = Units(tail, u'A');
      EXPECT_EQ(Variant::Joined(a, b).AsString(), a + b);
      EXPECT_EQ(Variant::Joined(a, b, 4 * (head + tail)).AsString(), a + b);
      Variant grown{StringView(a)};
      ASSERT_TRUE(grown.AppendToOwnString(b));
      EXPECT_EQ(grown.AsString(), a + b);
    }
}

TEST(VariantStrings, GrowPieceByPieceAndFromThemselves) {
  Variant text(StringView(u"x"));
  String expected = u"x";
  for (int i = 0; i < 300; ++i) {
    const String piece = Units(static_cast<size_t>(i % 17));
    ASSERT_TRUE(text.AppendToOwnString(piece));
    expected += piece;
  }
  EXPECT_EQ(text.AsString(), expected);
  // The tail is the string's own text: read before its old block goes.
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(text.AppendToOwnString(text.AsString()));
    expected += expected;
  }
  EXPECT_EQ(text.AsString(), expected);
}

TEST(VariantStrings, ASharedTextIsNeverChangedInPlace) {
  Variant first(StringView(u"shared"));
  Variant second = first;
  EXPECT_FALSE(first.OwnsString());
  EXPECT_FALSE(first.AppendToOwnString(u"!"));
  EXPECT_EQ(first.AsString(), u"shared");
  EXPECT_EQ(second.AsString(), u"shared");
  second = Variant();
  EXPECT_TRUE(first.AppendToOwnString(u"!"));
  EXPECT_EQ(first.AsString(), u"shared!");
  EXPECT_EQ(Variant(int32_t{5}).AsString(), u"");
}

TEST(VariantStrings, ChargeTheirBudgetUntilTheyGo) {
  Ref<MemoryBudget> budget = MakeRef<MemoryBudget>(size_t{1} << 20);
  {
    MemoryBudget::Activation active(*budget);
    std::vector<Variant> kept;
    for (size_t size : kSizes) kept.emplace_back(StringView(Units(size)));
    Variant grown(StringView(u"a"));
    for (int i = 0; i < 100; ++i) grown.AppendToOwnString(Units(37));
    EXPECT_GE(budget->used(), 3700 * sizeof(char16_t));
    kept.push_back(std::move(grown));
    kept.clear();
    EXPECT_EQ(budget->used(), 0u);
  }
  // Made outside any run: charged to no budget, even when released inside one.
  Variant outside(StringView(Units(200)));
  MemoryBudget::Activation active(*budget);
  outside = Variant();
  EXPECT_EQ(budget->used(), 0u);
}

TEST(VariantStrings, PastTheCapFailWithOutOfMemoryAndChangeNothing) {
  Ref<MemoryBudget> budget = MakeRef<MemoryBudget>(4096);
  MemoryBudget::Activation active(*budget);
  const auto code = [](auto&& make) {
    try {
      make();
    } catch (const AutomationError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(code([] { Variant(StringView(Units(5000))); }), err::kOutOfMemory);
  char16_t* out;
  EXPECT_EQ(code([&] { Variant::NewText(10, size_t{1} << 40, out); }), err::kOutOfMemory);
  Variant text(StringView(Units(1000)));
  EXPECT_EQ(code([&] { text.AppendToOwnString(Units(1500)); }), err::kOutOfMemory);
  EXPECT_EQ(text.AsString(), Units(1000));
  text = Variant();
  EXPECT_EQ(budget->used(), 0u);
}

TEST(VariantStrings, CrossThreadsAndOutliveTheThreadThatMadeThem) {
  std::vector<Variant> made;
  std::thread([&] {
    for (size_t size : kSizes) made.emplace_back(StringView(Units(size)));
    Variant dropped(StringView(u"dropped here"));  // its block stays in this thread's cache
  }).join();
  for (size_t i = 0; i < made.size(); ++i) EXPECT_EQ(made[i].AsString(), Units(kSizes[i]));
  std::thread([&] { made.clear(); }).join();
  Variant again(StringView(u"after"));
  EXPECT_EQ(again.AsString(), u"after");
}

}  // namespace
}  // namespace brevalcore::automation
