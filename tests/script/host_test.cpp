// The host interface as the control uses it: language, named objects with global members,
// code, statements, failures, reset, and the run limits.
#include <gtest/gtest.h>

#include <map>
#include <pthread.h>

#include "platform/automation/convert.h"
#include "platform/automation/error.h"
#include "tests/script/test_host.h"

namespace brevalcore::script::testing {
namespace {

using automation::DispId;
using namespace std::chrono_literals;

// Stands in for a rule object: ShowBanner records its argument, Banner reads it back.
class Actions : public automation::Object {
 public:
  String TypeName() const override { return u"Actions"; }
  DispId GetIdOfName(StringView name) const override {
    if (automation::EqualsNoCase(name, u"ShowBanner")) return 1;
    if (automation::EqualsNoCase(name, u"Banner")) return 2;
    return automation::kDispIdUnknown;
  }
  Variant Invoke(DispId id, automation::InvokeKind, std::span<Variant> args) override {
    ++calls;
    if (id == 1) {
      if (args.size() != 1) automation::Raise(automation::err::kWrongNumberOfArguments);
      banner = automation::ToString(args[0]);
      return {};
    }
    if (id == 2) return Variant(banner);
    automation::Raise(automation::err::kNoSuchMember);
  }
  String banner;
  int calls = 0;
};

// Fails with the HRESULT it is given, as a component written for the platform reports.
class Component : public automation::Object {
 public:
  String TypeName() const override { return u"Component"; }
  DispId GetIdOfName(StringView name) const override {
    if (automation::EqualsNoCase(name, u"Fail")) return 1;
    if (automation::EqualsNoCase(name, u"Text")) return 2;
    return automation::kDispIdUnknown;
  }
  Variant Invoke(DispId id, automation::InvokeKind, std::span<Variant> args) override {
    if (id == 1) throw automation::AutomationError(automation::ToLong(args[0]), {}, {});
    return Variant(automation::ToString(args[0]));  // Text: a value as this component writes it
  }
};

struct Fixture {
  std::string out;
  std::unique_ptr<ScriptHost> host = MakeHost(out);
  Ref<Actions> actions{new Actions};
  Fixture() { host->AddObject(u"actions", actions, true); }
};

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ScriptError& e) {
    return e.number();
  }
  return 0;
}

TEST(ScriptHost, RefusesOtherLanguagesAndCodeBeforeALanguage) {
  auto host = CreateScriptHost();
  EXPECT_NE(ErrorOf([&] { host->AddCode(u"x = 1"); }), 0);
  EXPECT_NE(ErrorOf([&] { host->SetLanguage(u"JScript"); }), 0);
  EXPECT_EQ(ErrorOf([&] { host->SetLanguage(u"vbscript"); }), 0);
  EXPECT_EQ(ErrorOf([&] { host->AddCode(u"x = 1"); }), 0);
}

// Lines and their runs, for statements run as bytecode and as the syntax tree alike (With).
TEST(ScriptHost, CountsLineRunsOnlyWhenAsked) {
  // Properties that only read or write a field run without a frame, unless runs are counted.
  const char16_t* code =
      u"Dim i, n\nFor i = 1 To 3\n n = n + 1\nNext\nWith Nothing\nEnd With\nIf n = 0 Then\n n = 1\nEnd If\n"
      u"Class Box\n Private m\n Property Get P\n  P = m\n End Property\n Property Let P(v)\n  m = v\n End Property\nEnd Class\n"
      u"Dim b : Set b = New Box\nFor i = 1 To 2 : b.P = i : n = b.P : Next";
  for (const bool counting : {true, false}) {
    ScriptServices services;
    services.countLineRuns = counting;
    auto host = CreateScriptHost(services);
    host->SetLanguage(u"VBScript");
    host->AddCode(code);
    std::map<int, uint32_t> runs;
    for (const auto& line : host->LineCoverage()) runs[line.line] = line.runs;
    const std::map<int, uint32_t> expected =
        counting ? std::map<int, uint32_t>{{1, 1}, {2, 1}, {3, 3}, {5, 1}, {7, 1}, {8, 0}, {13, 2}, {16, 2}, {19, 1}, {20, 2}}
                 : std::map<int, uint32_t>{{1, 0}, {2, 0}, {3, 0}, {5, 0}, {7, 0}, {8, 0}, {13, 0}, {16, 0}, {19, 0}, {20, 0}};
    EXPECT_EQ(runs, expected) << (counting ? "counting" : "not counting");
  }
}

TEST(ScriptHost, MembersOfNamedObjectsAreGlobalNames) {
  Fixture fx;
  fx.host->AddCode(u"Sub Rule\n ShowBanner \"B12\"\n out.Echo actions.Banner, Banner\nEnd Sub");
  fx.host->ExecuteStatement(u"Rule");
  EXPECT_EQ(fx.actions->banner, u"B12");
  EXPECT_EQ(fx.out, "B12 B12\n");
}

TEST(ScriptHost, FailuresCarryNumberDescriptionAndPosition) {
  Fixture fx;
  try {
    fx.host->AddCode(u"Dim a\na = 1\nIf a Then out.Echo (");
    FAIL() << "no error";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), 1023);
    EXPECT_EQ(automation::ToUtf8(e.description()), "Expected expression");
    EXPECT_EQ(e.line(), 3);
    EXPECT_EQ(e.column(), 21);
    EXPECT_EQ(automation::ToUtf8(e.lineText()), "If a Then out.Echo (");
  }
  // A failing top-level statement fails AddCode, after the statements before it ran.
  EXPECT_EQ(ErrorOf([&] { fx.host->AddCode(u"out.Echo \"first\"\nactions.Nope"); }), 438);
  EXPECT_EQ(fx.out, "first\n");
  // A missing procedure, and a run-time error inside one.
  EXPECT_NE(ErrorOf([&] { fx.host->ExecuteStatement(u"NotThere"); }), 0);
  fx.host->AddCode(u"Sub Broken : Dim z : z = CLng(\"x\") : End Sub");
  try {
    fx.host->ExecuteStatement(u"Broken");
    FAIL() << "no error";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), 13);
    EXPECT_EQ(automation::ToUtf8(e.description()), "Type mismatch");
  }
}

TEST(ScriptHost, ComponentFailuresGetThePlatformNumbers) {
  Fixture f;
  f.host->AddObject(u"component", Ref<Object>(new Component), false);
  f.host->AddCode(
      u"On Error Resume Next\n"
      u"component.Fail &H8007000E\nout.Echo Err.Number & \" \" & Err.Description & \" \" & Err.Source\nErr.Clear\n"
      u"component.Fail &H800A01A8\nout.Echo Err.Number & \" \" & Err.Description\nErr.Clear\n"
      u"component.Fail 1001\nout.Echo Err.Number\n");
  EXPECT_EQ(f.out, "7 Out of memory Microsoft VBScript runtime error\n424 Object required\n1001\n");
  EXPECT_EQ(ErrorOf([&] { f.host->ExecuteStatement(u"component.Fail &H80020005"); }), 13);
}

// A script's SetLocale is its own: objects it calls, and the host after the run, keep the
// user's regional settings.
TEST(ScriptHost, SetLocaleStaysInsideTheScript) {
  Fixture f;
  f.host->AddObject(u"component", Ref<Object>(new Component), false);
  f.host->AddCode(u"SetLocale 1033\nout.Echo CStr(1.5) & \" \" & component.Text(1.5) & \" \" & GetLocale()");
  EXPECT_EQ(f.out, "1.5 1,5 1033\n");
  EXPECT_EQ(automation::ToString(Variant(1.5)), u"1,5");
  EXPECT_EQ(automation::ToString(f.host->Eval(u"CStr(2.5)")), u"2.5") << "the engine keeps its choice";
  f.host->Reset();
  EXPECT_EQ(automation::ToString(f.host->Eval(u"CStr(2.5)")), u"2,5") << "Reset returns to the user's";
}

TEST(ScriptHost, ResetDropsCodeAndObjects) {
  Fixture fx;
  fx.host->AddCode(u"Sub P : out.Echo \"p\" : End Sub");
  fx.host->ExecuteStatement(u"P");
  fx.host->Reset();
  EXPECT_NE(ErrorOf([&] { fx.host->ExecuteStatement(u"P"); }), 0);
  EXPECT_NE(ErrorOf([&] { fx.host->ExecuteStatement(u"ShowBanner \"x\""); }), 0);
  EXPECT_EQ(fx.out, "p\n");
}

TEST(ScriptHost, StatementsAreRunRepeatedlyWithState) {
  Fixture fx;
  fx.host->AddCode(u"Dim n\nSub Count : n = n + 1 : End Sub");
  for (int i = 0; i < 5; ++i) fx.host->ExecuteStatement(u"Count");
  EXPECT_EQ(automation::ToLong(fx.host->Eval(u"n * 10")), 50);
}

TEST(ScriptHost, HostCallsScriptObjectsByName) {
  Fixture fx;
  fx.host->AddCode(u"Class Rule\n Public Function Score(a, b) : Score = a * b : End Function\nEnd Class\nDim r : Set r = New Rule");
  const Variant r = fx.host->Eval(u"r");
  ASSERT_TRUE(r.IsObject());
  Object* obj = r.AsObject();
  EXPECT_EQ(obj->TypeName(), u"Rule");
  const DispId id = obj->GetIdOfName(u"SCORE");
  ASSERT_NE(id, automation::kDispIdUnknown);
  Variant args[] = {Variant(int16_t{6}), Variant(int16_t{7})};
  EXPECT_EQ(automation::ToLong(obj->Invoke(id, automation::kInvokeMethod, args)), 42);
}

// Runaway scripts stop with an error and leave the engine usable.
struct LimitRow {
  const char* name;
  const char* code;
  int error;
};

const LimitRow kLimitRows[] = {
    {"endless_loop", "Do : Loop", automation::err::kTimeout},
    {"endless_loop_under_resume_next", "On Error Resume Next\nDo : x = 1 / 0 : Loop", automation::err::kTimeout},
    {"endless_recursion", "Sub R : R : End Sub\nR", automation::err::kOutOfStackSpace},
    {"recursion_under_resume_next", "On Error Resume Next\nFunction F(n) : F = F(n + 1) : End Function\nx = F(1)\nR2\nSub R2 : R2 : End Sub",
     automation::err::kOutOfStackSpace},
};

class Limits : public ::testing::TestWithParam<LimitRow> {};

TEST_P(Limits, StopWithErrorAndEngineStaysUsable) {
  Fixture fx;
  fx.host->SetTimeout(300ms);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { fx.host->AddCode(automation::FromUtf8(GetParam().code)); }), GetParam().error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  fx.host->AddCode(u"out.Echo \"alive\"");
  EXPECT_EQ(fx.out, "alive\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, Limits, ::testing::ValuesIn(kLimitRows),
                         [](const ::testing::TestParamInfo<LimitRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevalcore::script::testing

namespace brevalcore::script::testing {
namespace {

// The recursion limit follows the stack the engine actually runs on: a host thread with a
// small stack gets error 28, not a crash.
TEST(ScriptHost, RecursionOnASmallThreadStackStopsCleanly) {
  struct Shared {
    int error = 0;
    std::string out;
  } shared;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 512 * 1024);
  pthread_t thread;
  auto body = [](void* p) -> void* {
    auto* s = static_cast<Shared*>(p);
    auto host = MakeHost(s->out);
    try {
      host->AddCode(u"Function F(n) : F = F(n + 1) + 1 : End Function\nx = F(0)");
    } catch (const ScriptError& e) {
      s->error = e.number();
    }
    host->AddCode(u"out.Echo \"alive\"");
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, body, &shared), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(shared.error, automation::err::kOutOfStackSpace);
  EXPECT_EQ(shared.out, "alive\n");
}

}  // namespace
}  // namespace brevalcore::script::testing
