// Arrays, inspection, the engine's identity, the user-interface functions, CreateObject, RGB.
#include "platform/automation/factory.h"
#include "platform/script/engine_version.h"
#include "platform/script/library/library.h"
#include "platform/ui/user_interface.h"

namespace brevalcore::script::library {
namespace {

using namespace automation;

constexpr int32_t kMajorVersion = kEngineMajorVersion;
constexpr int32_t kMinorVersion = kEngineMinorVersion;
constexpr int32_t kBuildVersion = kEngineBuildVersion;
// Title of a message or input box whose script gives none.
constexpr const char16_t* kDefaultTitle = u"VBScript";

Variant ArrayFn(BuiltinContext&, Args a) {
  return Variant(ArrayData::FromVector(std::vector<Variant>(a.begin(), a.end())));
}

// LBound/UBound(array[, dimension]): 13 for a non-array, 9 for a dimension it lacks.
Variant Bound(Args a, bool upper) {
  const Variant v = Value(a, 0);
  if (!v.IsArray()) Raise(err::kTypeMismatch);
  const int32_t dimension = LongArg(a, 1, 1);
  const ArrayData& array = v.AsArray();
  if (dimension < 1 || static_cast<size_t>(dimension) > array.Dimensions()) Raise(err::kSubscriptOutOfRange);
  const size_t dim = static_cast<size_t>(dimension - 1);
  return Variant(upper ? array.UpperBound(dim) : array.LowerBound(dim));
}

Variant LBound(BuiltinContext&, Args a) { return Bound(a, false); }
Variant UBound(BuiltinContext&, Args a) { return Bound(a, true); }

Variant IsArray(BuiltinContext&, Args a) { return Variant(a[0].IsArray()); }
Variant IsEmpty(BuiltinContext&, Args a) { return Variant(a[0].IsEmpty()); }
Variant IsNull(BuiltinContext&, Args a) { return Variant(a[0].IsNull()); }
Variant IsNumericFn(BuiltinContext&, Args a) { return Variant(automation::IsNumeric(a[0])); }
Variant IsDate(BuiltinContext&, Args a) { return Variant(IsDateValue(a[0])); }
Variant VarTypeFn(BuiltinContext&, Args a) { return Variant(static_cast<int16_t>(a[0].VarTypeNumber())); }

Variant TypeName(BuiltinContext&, Args a) {
  const Variant& v = a[0];
  switch (v.type()) {
    case VarType::Empty: return Variant(u"Empty");
    case VarType::Null: return Variant(u"Null");
    case VarType::Integer: return Variant(u"Integer");
    case VarType::Long: return Variant(u"Long");
    case VarType::Single: return Variant(u"Single");
    case VarType::Double: return Variant(u"Double");
    case VarType::Currency: return Variant(u"Currency");
    case VarType::Date: return Variant(u"Date");
    case VarType::String: return Variant(u"String");
    case VarType::Object: return Variant(v.IsNothing() ? String(u"Nothing") : v.AsObject()->TypeName());
    case VarType::Error: return Variant(u"Error");
    case VarType::Boolean: return Variant(u"Boolean");
    case VarType::Byte: return Variant(u"Byte");
    case VarType::Array: return Variant(u"Variant()");
    default: return Variant(u"Unknown");
  }
}

Variant ScriptEngine(BuiltinContext&, Args) { return Variant(u"VBScript"); }
Variant ScriptEngineMajorVersion(BuiltinContext&, Args) { return Variant(kMajorVersion); }
Variant ScriptEngineMinorVersion(BuiltinContext&, Args) { return Variant(kMinorVersion); }
Variant ScriptEngineBuildVersion(BuiltinContext&, Args) { return Variant(kBuildVersion); }
Variant GetLocale(BuiltinContext& context, Args) { return Variant(context.EngineLocale().lcid); }

// SetLocale(lcid): an identifier (0 for the user's settings) or a name such as "en-us";
// answers the identifier in force before. 5 for a locale this system has no settings for.
Variant SetLocale(BuiltinContext& context, Args a) {
  const int32_t previous = context.EngineLocale().lcid;
  const Variant v = Value(a, 0);
  const automation::Locale* locale = nullptr;
  if (!Given(a, 0) || v.IsEmpty()) {
    locale = &automation::UserLocale();
  } else if (v.IsString() && !ParseNumber(v.AsString())) {
    locale = automation::FindLocale(v.AsString());
  } else {
    locale = automation::FindLocale(ToLong(v));
  }
  if (!locale) InvalidArgument();
  context.SetEngineLocale(*locale);
  return Variant(previous);
}

ui::UserInterface& Ui(BuiltinContext& context) {
  ui::UserInterface* ui = context.Ui();
  if (!ui) Raise(err::kPermissionDenied);  // no user interface in this run
  return *ui;
}

// MsgBox(prompt[, buttons[, title[, helpfile, context]]])
Variant MsgBox(BuiltinContext& context, Args a) {
  const String prompt = StringArg(a, 0);
  const int32_t buttons = LongArg(a, 1, 0);
  const String title = Given(a, 2) ? ToString(a[2]) : String(kDefaultTitle);
  const ui::Button pressed = Ui(context).MessageBox(prompt, buttons, title);
  return Variant(static_cast<int32_t>(pressed));
}

// InputBox(prompt[, title[, default[, xpos, ypos[, helpfile, context]]]]): "" when cancelled.
Variant InputBox(BuiltinContext& context, Args a) {
  const String prompt = StringArg(a, 0);
  const String title = Given(a, 1) ? ToString(a[1]) : String(kDefaultTitle);
  const String initial = StringArg(a, 2);
  auto answer = Ui(context).InputBox(prompt, title, initial);
  return Variant(answer ? *answer : String());
}

Variant CreateObject(BuiltinContext& context, Args a) {
  return Variant(context.Factories().Create(ToString(a[0])));
}

// RGB(red, green, blue): each part above 255 counts as 255; a negative one is an error.
Variant Rgb(BuiltinContext&, Args a) {
  int32_t parts[3];
  for (size_t i = 0; i < 3; ++i) {
    parts[i] = ToLong(a[i]);
    if (parts[i] < 0) InvalidArgument();
    if (parts[i] > 255) parts[i] = 255;
  }
  return Variant(parts[0] + parts[1] * 256 + parts[2] * 65536);
}

const Builtin kBuiltins[] = {
    {u"Array", 0, INT16_MAX, ArrayFn},
    {u"LBound", 1, 2, LBound},
    {u"UBound", 1, 2, UBound},
    {u"IsArray", 1, 1, IsArray},
    {u"IsEmpty", 1, 1, IsEmpty},
    {u"IsNull", 1, 1, IsNull},
    {u"IsNumeric", 1, 1, IsNumericFn},
    {u"IsDate", 1, 1, IsDate},
    {u"VarType", 1, 1, VarTypeFn},
    {u"TypeName", 1, 1, TypeName},
    {u"ScriptEngine", 0, 0, ScriptEngine},
    {u"ScriptEngineMajorVersion", 0, 0, ScriptEngineMajorVersion},
    {u"ScriptEngineMinorVersion", 0, 0, ScriptEngineMinorVersion},
    {u"ScriptEngineBuildVersion", 0, 0, ScriptEngineBuildVersion},
    {u"GetLocale", 0, 0, GetLocale},
    {u"SetLocale", 0, 1, SetLocale},
    {u"MsgBox", 1, 5, MsgBox},
    {u"InputBox", 1, 7, InputBox},
    {u"CreateObject", 1, 2, CreateObject},
    {u"RGB", 3, 3, Rgb},
};

}  // namespace

std::span<const Builtin> MiscBuiltins() { return kBuiltins; }

}  // namespace brevalcore::script::library
