// Name look-up over every group's table, built once into a case-insensitive index.
#include <unordered_map>

#include "platform/script/library/library.h"

namespace brevalcore::script {
namespace {

using automation::String;
using automation::StringView;

template <class Entry>
std::unordered_map<String, const Entry*> Index(std::initializer_list<std::span<const Entry>> groups) {
  std::unordered_map<String, const Entry*> index;
  for (const auto& group : groups)
    for (const Entry& entry : group) index.emplace(automation::ToLower(entry.name), &entry);
  return index;
}

}  // namespace

const Builtin* FindBuiltin(StringView name) {
  static const auto index = Index<Builtin>({library::ConversionBuiltins(), library::StringBuiltins(),
                                            library::MathBuiltins(), library::DateBuiltins(),
                                            library::FormatBuiltins(), library::MiscBuiltins()});
  auto it = index.find(automation::ToLower(name));
  return it == index.end() ? nullptr : it->second;
}

const BuiltinConstant* FindBuiltinConstant(StringView name) {
  static const auto index = Index<BuiltinConstant>({library::Constants()});
  auto it = index.find(automation::ToLower(name));
  return it == index.end() ? nullptr : it->second;
}

automation::Ref<automation::Object> NewBuiltinClass(StringView className) {
  if (automation::EqualsNoCase(className, u"RegExp")) return library::NewRegExp();
  return {};
}

void RegisterBuiltinFactories(automation::ObjectFactories& factories) {
  factories.Register(u"Scripting.Dictionary", [] { return library::NewDictionary(); });
  factories.Register(u"VBScript.RegExp", [] { return library::NewRegExp(); });
}

namespace library {

Variant Value(Args args, size_t i) {
  if (i >= args.size()) return Variant();
  return args[i].IsObject() ? automation::Dereference(args[i]) : args[i];
}

int32_t LongArg(Args args, size_t i, int32_t fallback) {
  return Given(args, i) ? automation::ToLong(args[i]) : fallback;
}

bool BoolArg(Args args, size_t i, bool fallback) {
  return Given(args, i) ? automation::ToBool(args[i]) : fallback;
}

String StringArg(Args args, size_t i) { return Given(args, i) ? automation::ToString(args[i]) : String(); }

CompareMode CompareArg(Args args, size_t i) {
  if (!Given(args, i)) return CompareMode::Binary;
  if (args[i].IsNull()) automation::Raise(automation::err::kInvalidUseOfNull);
  const int32_t mode = automation::ToLong(args[i]);
  if (mode == 0) return CompareMode::Binary;
  if (mode == 1) return CompareMode::Text;
  InvalidArgument();
}

void InvalidArgument() { automation::Raise(automation::err::kInvalidProcedureCall); }

}  // namespace library
}  // namespace brevalcore::script
