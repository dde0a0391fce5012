#pragma once
// The two workloads that look like real rule scripts, each with a VBScript and a Lua side that
// must choose the same banners: the sample package's banner.script through a morning of 1,000
// prescriptions, and a 300-rule script evaluated on 1,000 BeforeSelect calls.
#include <functional>
#include <string>
#include <vector>

#include "bench/script/rule_session.h"

namespace brevalcore::bench {

struct RuleWorkload {
  std::string name;
  std::string vbs;
  std::string lua;
  // One run from a restarted session: the script's work-flow calls, the banner chosen after
  // each appended to `banners` when given.
  std::function<void(RuleSession&, RuleRunner&, std::vector<std::string>* banners)> play;
};

const std::vector<RuleWorkload>& RuleWorkloads();

}  // namespace brevalcore::bench
