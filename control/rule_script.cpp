#include "control/rule_script.h"

#include "rules/actions.h"
#include "rules/commands.h"
#include "rules/conditions.h"

namespace brevalcore::control {

namespace {

// In the order the control adds them: a global name two objects share goes to the first.
constexpr RuleObject kRuleObjects[] = {
    {u"actions", &rules::Actions::Class},
    {u"conditions", &rules::Conditions::Class},
    {u"commands", &rules::Commands::Class},
};

}  // namespace

String DecodeScriptText(std::string_view bytes) { return automation::FromCp1252(bytes); }

std::span<const RuleObject> RuleObjects() { return kRuleObjects; }

}  // namespace brevalcore::control
