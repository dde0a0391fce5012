#include <gtest/gtest.h>

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

}  // namespace
}  // namespace brevalcore::automation
