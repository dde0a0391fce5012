#include "bench/script/rule_workloads.h"

#include <memory>

#include "bench/script/rules300.h"

namespace brevalcore::bench {

namespace {

constexpr uint32_t kSeed = 20261207;
constexpr int kPrescriptions = 1000;
constexpr int kRules = 300;
constexpr int kRuleCalls = 1000;

RuleWorkload SampleMorning() {
  auto visits = std::make_shared<const std::vector<Visit>>(GenerateMorning(kSeed, kPrescriptions));
  return {"sample_morning", SourceFile("samples/package/banner.script"), SourceFile("bench/script/banner.lua"),
          [visits](RuleSession& session, RuleRunner& rules, std::vector<std::string>* banners) {
            rules.Run("BeforeInitialize");
            session.PlayMorning(*visits, rules, banners);
          }};
}

RuleWorkload Rules300() {
  RuleScripts scripts = GenerateRuleScripts(kSeed, kRules);
  auto calls = std::make_shared<const std::vector<RuleCall>>(GenerateRuleCalls(kSeed, kRuleCalls));
  return {"rules_300", std::move(scripts.vbs), std::move(scripts.lua),
          [calls](RuleSession& session, RuleRunner& rules, std::vector<std::string>* banners) {
            session.PlayCalls(*calls, rules, banners);
          }};
}

}  // namespace

const std::vector<RuleWorkload>& RuleWorkloads() {
  static const std::vector<RuleWorkload> workloads{SampleMorning(), Rules300()};
  return workloads;
}

}  // namespace brevalcore::bench
