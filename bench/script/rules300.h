#pragma once
// A generated rule script of many `If <conditions> Then ShowBanner "..."` lines, written from
// one rule table in VBScript and in Lua, and a stream of BeforeSelect calls with varied
// patients and drugs to evaluate it on. The procedure reads the facts into locals once; each
// rule then tests age, sex, drug code (= or a list searched with InStr), substance, price.
#include <cstdint>
#include <string>
#include <vector>

#include "bench/script/rule_session.h"

namespace brevalcore::bench {

struct RuleScripts {
  std::string vbs;
  std::string lua;
};

RuleScripts GenerateRuleScripts(uint32_t seed, int rules);
std::vector<RuleCall> GenerateRuleCalls(uint32_t seed, int calls);

}  // namespace brevalcore::bench
