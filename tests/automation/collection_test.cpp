#include <gtest/gtest.h>

#include "platform/automation/collection.h"

namespace brevalcore::automation {
namespace {

int32_t ErrorOf(const std::function<void()>& f) {
  try { f(); } catch (const AutomationError& e) { return e.number(); }
  return 0;
}

TEST(Collection, KeepsInsertionOrderFromOneWithCaseInsensitiveKeys) {
  auto c = MakeRef<Collection>();
  c->Add(Variant(u"a"), Variant(u"K1"));
  c->Add(Variant(u"b"));
  c->Add(Variant(u"c"), Variant(u"k3"));
  EXPECT_EQ(c->Count(), 3);
  EXPECT_EQ(c->Item(Variant(int32_t{1})).AsString(), u"a");
  EXPECT_EQ(c->Item(Variant(u"k1")).AsString(), u"a");
  EXPECT_EQ(c->Item(Variant(u"K3")).AsString(), u"c");
  c->Remove(Variant(u"K1"));
  EXPECT_EQ(c->Item(Variant(int32_t{1})).AsString(), u"b");
  std::vector<String> seen;
  auto e = c->NewEnum();
  for (Variant v; e->Next(v);) seen.emplace_back(v.AsString());
  EXPECT_EQ(seen, (std::vector<String>{u"b", u"c"}));
}

TEST(Collection, ErrorsAreThePlatforms) {
  auto c = MakeRef<Collection>();
  c->Add(Variant(u"a"), Variant(u"Key"));
  EXPECT_EQ(ErrorOf([&] { c->Add(Variant(u"b"), Variant(u"KEY")); }), err::kDuplicateKey);
  EXPECT_EQ(ErrorOf([&] { c->Item(Variant(u"nope")); }), err::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { c->Item(Variant(int32_t{0})); }), err::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { c->Item(Variant(int32_t{2})); }), err::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { c->Remove(Variant(u"nope")); }), err::kInvalidProcedureCall);
  EXPECT_EQ(c->Count(), 1);
}

TEST(Collection, BeforeAndAfterPlaceItems) {
  auto c = MakeRef<Collection>();
  c->Add(Variant(u"a"));
  c->Add(Variant(u"c"));
  c->Add(Variant(u"b"), Variant::Missing(), Variant(int32_t{2}));
  c->Add(Variant(u"d"), Variant::Missing(), Variant::Missing(), Variant(int32_t{3}));
  std::u16string all;
  for (int32_t i = 1; i <= c->Count(); ++i) all += c->Item(Variant(i)).AsString();
  EXPECT_EQ(all, u"abcd");
}

}  // namespace
}  // namespace brevalcore::automation
