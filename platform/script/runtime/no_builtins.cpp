// Stands in for the built-in function library while it is not part of the build: the
// language works, every built-in name is simply unknown.
#include "platform/script/builtins.h"

namespace brevalcore::script {

const Builtin* FindBuiltin(automation::StringView) { return nullptr; }
const BuiltinConstant* FindBuiltinConstant(automation::StringView) { return nullptr; }
automation::Ref<automation::Object> NewBuiltinClass(automation::StringView) { return {}; }
void RegisterBuiltinFactories(automation::ObjectFactories&) {}

}  // namespace brevalcore::script
