#include "tests/script_library/library_test_support.h"

namespace brevalcore::script::testing {
namespace {

using automation::InvokeKind;
using automation::kInvokeGet;
using automation::kInvokeMethod;
using automation::kInvokePut;
using automation::Object;
using automation::ToUtf8;

Variant Call(Object& o, const char16_t* member, InvokeKind kind, std::vector<Variant> args = {}) {
  const auto id = member ? o.GetIdOfName(member) : automation::kDispIdValue;
  EXPECT_NE(id, automation::kDispIdUnknown) << ToUtf8(member);
  return o.Invoke(id, kind, args);
}
Variant Get(Object& o, const char16_t* member, std::vector<Variant> args = {}) {
  return Call(o, member, static_cast<InvokeKind>(kInvokeGet | kInvokeMethod), std::move(args));
}
void Put(Object& o, const char16_t* member, std::vector<Variant> args) { Call(o, member, kInvokePut, std::move(args)); }

int32_t ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const automation::AutomationError& e) {
    return e.number();
  }
  return 0;
}

std::string Keys(Object& d) {
  Variant keys = Get(d, u"Keys");
  std::string out;
  for (const Variant& k : keys.AsArray().items()) out += ToUtf8(Render(k)) + ";";
  return out;
}

TEST(Dictionary, KeysCompareByValueAndKeepTheirOrder) {
  automation::ObjectFactories factories;
  RegisterBuiltinFactories(factories);
  auto d = factories.Create(u"scripting.dictionary");
  EXPECT_EQ(ToUtf8(d->TypeName()), "Dictionary");
  Call(*d, u"Add", kInvokeMethod, {V(u"B12"), L(3)});
  Call(*d, u"Add", kInvokeMethod, {L(1), V(u"num")});
  Call(*d, u"Add", kInvokeMethod, {V(u"1"), V(u"str")});
  // Integer 1, Long 1 and Double 1 are one key; the text "1" is another.
  EXPECT_EQ(ToUtf8(Render(Get(*d, u"Item", {I(1)}))), "num");
  EXPECT_EQ(ToUtf8(Render(Get(*d, nullptr, {V(1.0)}))), "num");
  EXPECT_EQ(ToUtf8(Render(Get(*d, u"Item", {V(u"1")}))), "str");
  EXPECT_EQ(ToUtf8(Render(Get(*d, u"Exists", {V(u"b12")}))), "0");
  EXPECT_EQ(ErrorOf([&] { Call(*d, u"Add", kInvokeMethod, {V(u"B12"), L(4)}); }), 457);
  // Reading a missing key adds it.
  EXPECT_TRUE(Get(*d, u"Item", {V(u"missing")}).IsEmpty());
  EXPECT_EQ(Get(*d, u"Count").AsLong(), 4);
  Put(*d, nullptr, {V(u"new"), V(u"created")});
  EXPECT_EQ(Keys(*d), "B12;1;1;missing;new;");
  Put(*d, u"Key", {V(u"B12"), V(u"B13")});
  EXPECT_EQ(Keys(*d), "B13;1;1;missing;new;");
  EXPECT_EQ(ErrorOf([&] { Put(*d, u"Key", {V(u"nope"), V(u"x")}); }), 32811);
  Call(*d, u"Remove", kInvokeMethod, {V(u"missing")});
  EXPECT_EQ(ErrorOf([&] { Call(*d, u"Remove", kInvokeMethod, {V(u"missing")}); }), 32811);
  // For Each visits the keys.
  auto e = d->NewEnum();
  Variant k;
  std::string visited;
  while (e->Next(k)) visited += ToUtf8(Render(k)) + ";";
  EXPECT_EQ(visited, "B13;1;1;new;");
  EXPECT_EQ(ErrorOf([&] { Put(*d, u"CompareMode", {L(1)}); }), 5);  // only while empty
  Call(*d, u"RemoveAll", kInvokeMethod);
  Put(*d, u"CompareMode", {L(1)});
  Call(*d, u"Add", kInvokeMethod, {V(u"Abc"), L(1)});
  EXPECT_EQ(ToUtf8(Render(Get(*d, u"Exists", {V(u"ABC")}))), "-1");
  EXPECT_EQ(Get(*d, u"Keys").AsArray().UpperBound(0), 0);
}

struct RegexRow {
  const char16_t* pattern;
  bool ignoreCase, global, multiline;
  const char16_t* source;
  const char16_t* replacement;
  const char16_t* replaced;  // Replace's result
  const char16_t* matches;   // "FirstIndex:Value[submatches]" of each match
};

std::string Describe(Object& matches) {
  std::string out;
  const int32_t count = Get(matches, u"Count").AsLong();
  for (int32_t i = 0; i < count; ++i) {
    Variant m = Get(matches, u"Item", {L(i)});
    Object& match = *m.AsObject();
    out += std::to_string(Get(match, u"FirstIndex").AsLong()) + ":" + ToUtf8(Render(Get(match, nullptr)));
    Variant groups = Get(match, u"SubMatches");
    const int32_t n = Get(*groups.AsObject(), u"Count").AsLong();
    if (n) {
      out += "[";
      for (int32_t g = 0; g < n; ++g) out += (g ? "," : "") + ToUtf8(Render(Get(*groups.AsObject(), nullptr, {L(g)})));
      out += "]";
    }
    out += " ";
  }
  return out;
}

TEST(RegExp, ExecuteReplaceAndFlags) {
  const RegexRow rows[] = {
      {u"\\d+", false, true, false, u"a12b345", u"#", u"a#b#", u"1:12 4:345 "},
      {u"\\d+", false, false, false, u"a12b345", u"#", u"a#b345", u"1:12 "},
      {u"(\\w+)@(\\w+)\\.it", false, true, false, u"x rossi@asl.it y", u"$2:$1 [$&]", u"x asl:rossi [rossi@asl.it] y",
       u"2:rossi@asl.it[rossi,asl] "},
      {u"abc", true, true, false, u"ABC abc", u"x", u"x x", u"0:ABC 4:abc "},
      {u"^a", false, true, true, u"ab\nac", u"-", u"-b\n-c", u"0:a 3:a "},
      {u"^a", false, true, false, u"ab\nac", u"-", u"-b\nac", u"0:a "},
      {u"(a)|(b)", false, true, false, u"b", u"[$1$2]", u"[b]", u"0:b[,b] "},
      {u"a{", false, true, false, u"a{b", u"x", u"xb", u"0:a{ "},
      {u"x*", false, true, false, u"ab", u"-", u"-a-b-", u"0: 1: 2: "},
      {u"\u00E8", false, true, false, u"perch\u00E8 \u00E8", u"e", u"perche e", u"5:\u00E8 7:\u00E8 "},
      {u"(\\d)(\\d)", false, true, false, u"12", u"$2$1$$ $3", u"21$ $3", u"0:12[1,2] "},
  };
  for (const auto& row : rows) {
    auto re = NewBuiltinClass(u"regexp");
    ASSERT_TRUE(re);
    Put(*re, u"Pattern", {V(row.pattern)});
    Put(*re, u"IgnoreCase", {Variant(row.ignoreCase)});
    Put(*re, u"Global", {Variant(row.global)});
    Put(*re, u"Multiline", {Variant(row.multiline)});
    const std::string label = ToUtf8(row.pattern) + " on " + ToUtf8(row.source);
    EXPECT_EQ(ToUtf8(Render(Get(*re, u"Replace", {V(row.source), V(row.replacement)}))), ToUtf8(row.replaced)) << label;
    Variant matches = Get(*re, u"Execute", {V(row.source)});
    EXPECT_EQ(Describe(*matches.AsObject()), ToUtf8(row.matches)) << label;
    EXPECT_TRUE(Get(*re, u"Test", {V(row.source)}).AsBool()) << label;
  }
}

TEST(RegExp, BadPatternsRaise5017) {
  for (const char16_t* pattern : {u"(", u"[a", u"*a", u"a)"}) {
    auto re = NewBuiltinClass(u"RegExp");
    Put(*re, u"Pattern", {V(pattern)});
    EXPECT_EQ(ErrorOf([&] { Get(*re, u"Test", {V(u"a")}); }), 5017) << ToUtf8(pattern);
  }
  EXPECT_FALSE(NewBuiltinClass(u"Widget"));
}

}  // namespace
}  // namespace brevalcore::script::testing
