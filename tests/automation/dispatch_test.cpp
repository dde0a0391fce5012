#include <gtest/gtest.h>

#include "platform/automation/convert.h"
#include "platform/automation/dispatch.h"

namespace brevalcore::automation {
namespace {

class Sample : public DispatchObject<Sample> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Sample>(u"Sample")
                                      .Property<&Sample::Name, &Sample::SetName>(u"Name")
                                      .Default()
                                      .Method<&Sample::Add>(u"Add", {{u"a"}, {u"b", Variant(int32_t{10})}})
                                      .Method<&Sample::Swap>(u"Swap")
                                      .Get<&Sample::Count>(u"Count")
                                      .Build();
    return info;
  }
  String Name() const { return name_; }
  void SetName(const String& n) { name_ = n; }
  int32_t Add(int32_t a, int32_t b) { return a + b; }
  void Swap(Variant& a, Variant& b) { a.swap(b); }
  int16_t Count() const { return 3; }

 private:
  String name_;
};

Variant CallByName(Object& o, StringView name, InvokeKind kind, std::vector<Variant> args) {
  const DispId id = o.GetIdOfName(name);
  return o.Invoke(id, kind, args);
}

TEST(Dispatch, ResolvesNamesWithoutRegardToCaseAndInSlotOrder) {
  auto s = MakeRef<Sample>();
  EXPECT_EQ(s->GetIdOfName(u"name"), 1);
  EXPECT_EQ(s->GetIdOfName(u"ADD"), 2);
  EXPECT_EQ(s->GetIdOfName(u"Count"), 4);
  EXPECT_EQ(s->GetIdOfName(u"Missing"), kDispIdUnknown);
}

TEST(Dispatch, PropertiesMethodsDefaultsAndByRef) {
  auto s = MakeRef<Sample>();
  CallByName(*s, u"Name", kInvokePut, {Variant(u"x")});
  EXPECT_EQ(ToString(s->Invoke(kDispIdValue, kInvokeGet, {})), u"x");
  EXPECT_EQ(CallByName(*s, u"Add", kInvokeMethod, {Variant(int32_t{1}), Variant(int32_t{2})}).AsLong(), 3);
  EXPECT_EQ(CallByName(*s, u"Add", kInvokeMethod, {Variant(int32_t{1})}).AsLong(), 11);
  EXPECT_EQ(CallByName(*s, u"Add", kInvokeMethod, {Variant(int32_t{1}), Variant::Missing()}).AsLong(), 11);
  std::vector<Variant> args{Variant(int32_t{1}), Variant(u"two")};
  s->Invoke(s->GetIdOfName(u"Swap"), kInvokeMethod, args);
  EXPECT_EQ(args[0].AsString(), u"two");
  EXPECT_EQ(args[1].AsLong(), 1);
}

TEST(Dispatch, FailuresCarryThePlatformNumbers) {
  auto s = MakeRef<Sample>();
  struct Row { DispId id; InvokeKind kind; std::vector<Variant> args; int32_t number; };
  const std::vector<Row> rows = {
      {99, kInvokeMethod, {}, err::kNoSuchMember},
      {2, kInvokeMethod, {}, err::kWrongNumberOfArguments},
      {2, kInvokeMethod, {Variant(1), Variant(2), Variant(3)}, err::kWrongNumberOfArguments},
      {4, kInvokePut, {Variant(1)}, err::kWrongNumberOfArguments},
      {2, kInvokeMethod, {Variant(u"abc"), Variant(1)}, err::kTypeMismatch},
  };
  for (auto row : rows) {
    try {
      s->Invoke(row.id, row.kind, row.args);
      ADD_FAILURE() << "no error for id " << row.id;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), row.number) << "id " << row.id;
    }
  }
}

// Calls that the inline path takes and calls it must hand to the slow one reach the same
// member with the same arguments: an Error value that is not a left-out argument, a raw
// member with any count, a property read asked for as a method, and ids out of the table.
class Paths : public DispatchObject<Paths> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Paths>(u"Paths")
                                      .Method<&Paths::Echo>(u"Echo")
                                      .Method<&Paths::Count>(u"Count")
                                      .Get<&Paths::Size>(u"Size")
                                      .Build();
    return info;
  }
  Variant Echo(const Variant& v) { return v; }
  int32_t Count(std::span<Variant> args) { return static_cast<int32_t>(args.size()); }
  int32_t Size() const { return 7; }
};

TEST(Dispatch, FastAndSlowPathsAgree) {
  auto p = MakeRef<Paths>();
  struct Row {
    const char* name;
    DispId id;
    InvokeKind kind;
    std::vector<Variant> args;
    Variant expected;
    int32_t error = 0;
  };
  const std::vector<Row> rows = {
      {"plain", 1, kInvokeMethod, {Variant(u"x")}, Variant(u"x")},
      {"error value passes", 1, kInvokeMethod, {Variant(ErrorCode{5})}, Variant(ErrorCode{5})},
      {"left out, none to fill", 1, kInvokeMethod, {Variant::Missing()}, Variant(), err::kWrongNumberOfArguments},
      {"raw, none", 2, kInvokeMethod, {}, Variant(int32_t{0})},
      {"raw, three", 2, kInvokeMethod, {Variant(1), Variant(2), Variant(3)}, Variant(int32_t{3})},
      {"get as method", 3, kInvokeMethod, {}, Variant(int32_t{7})},
      {"get as either", 3, static_cast<InvokeKind>(kInvokeMethod | kInvokeGet), {}, Variant(int32_t{7})},
      {"method as get", 1, kInvokeGet, {Variant(1)}, Variant(), err::kWrongNumberOfArguments},
      {"unknown id", kDispIdUnknown, kInvokeMethod, {}, Variant(), err::kNoSuchMember},
      {"past the table", 4, kInvokeGet, {}, Variant(), err::kNoSuchMember},
      {"no default member", kDispIdValue, kInvokeGet, {}, Variant(), err::kNoSuchMember},
  };
  for (auto row : rows) {
    SCOPED_TRACE(row.name);
    try {
      const Variant got = p->Invoke(row.id, row.kind, row.args);
      EXPECT_EQ(row.error, 0);
      EXPECT_EQ(got.type(), row.expected.type());
      if (got.type() == VarType::Error) {
        EXPECT_EQ(got.AsErrorCode(), row.expected.AsErrorCode());
      } else {
        EXPECT_EQ(ToString(got), ToString(row.expected));
      }
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), row.error);
    }
  }
}

// Items by index, read and written through the default member.
class Bag : public DispatchObject<Bag> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Bag>(u"Bag")
                                      .Get<&Bag::Item>(u"Item")
                                      .Let<&Bag::SetItem>(u"Item")
                                      .Default()
                                      .Build();
    return info;
  }
  Variant Item(int32_t i) { return items[i]; }
  void SetItem(int32_t i, const Variant& v) { items[i] = v; }
  Variant items[3];
};

// A member without parameters that returns an object, one that returns an array, and one
// that returns a number: arguments given to them go to what they return.
class Holder : public DispatchObject<Holder> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Holder>(u"Holder")
                                      .Get<&Holder::Inner>(u"Inner")
                                      .Get<&Holder::Codes>(u"Codes")
                                      .Get<&Holder::Count>(u"Count")
                                      .Method<&Holder::Make>(u"Make")
                                      .Get<&Holder::Missing>(u"Missing")
                                      .Build();
    return info;
  }
  Ref<Bag> Inner() { return bag_; }
  Variant Codes() { return Variant(ArrayData::FromVector({Variant(u"A"), Variant(u"B")})); }
  int16_t Count() { return 2; }
  Ref<Bag> Make() { return bag_; }
  Variant Missing() { return Variant::Nothing(); }

 private:
  Ref<Bag> bag_ = MakeRef<Bag>();
};

TEST(Dispatch, ArgumentsOfAParameterlessGetGoToWhatItReturns) {
  auto h = MakeRef<Holder>();
  const InvokeKind get = static_cast<InvokeKind>(kInvokeGet | kInvokeMethod);
  CallByName(*h, u"Inner", kInvokePut, {Variant(int32_t{1}), Variant(u"set through")});
  EXPECT_EQ(ToString(CallByName(*h, u"Inner", get, {Variant(int32_t{1})})), u"set through");
  EXPECT_EQ(ToString(CallByName(*h, u"Codes", get, {Variant(int32_t{1})})), u"B");
  struct Row { const char16_t* member; InvokeKind kind; int32_t number; };
  const Row rows[] = {
      {u"Count", get, err::kWrongNumberOfArguments},   // a number takes no arguments
      {u"Make", kInvokeMethod, err::kWrongNumberOfArguments},  // methods are not forwarded
      {u"Missing", get, err::kObjectVariableNotSet},
      {u"Codes", kInvokePut, err::kWrongNumberOfArguments},   // an array copy cannot be assigned
  };
  for (const Row& row : rows) {
    try {
      CallByName(*h, row.member, row.kind, {Variant(int32_t{1}), Variant(int32_t{2})});
      ADD_FAILURE() << "no error for " << ToUtf8(row.member);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), row.number) << ToUtf8(row.member);
    }
  }
}

TEST(Errors, HResultsBecomeThePlatformNumbers) {
  const std::pair<uint32_t, int32_t> rows[] = {
      {0x8007000Eu, 7},   {0x80070057u, 5},   {0x80020005u, 13}, {0x8002000Bu, 9},
      {0x800A01A8u, 424}, {0x800A000Bu, 11},  {0x80004005u, static_cast<int32_t>(0x80004005u)},
      {13u, 13},          {0x80040154u, 429}, {0x80070005u, 70},
  };
  for (const auto& [hresult, number] : rows)
    EXPECT_EQ(ErrorNumberFromHResult(static_cast<int32_t>(hresult)), number) << std::hex << hresult;
}

}  // namespace
}  // namespace brevalcore::automation
