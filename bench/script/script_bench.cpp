// The rule-script workloads in our engine and in Lua 5.4: the five language workloads
// (workloads.h) and the two that look like real rule scripts (rule_workloads.h), which run on
// the rule objects. Compare the pairs: BM_Vbs/<name> against BM_Lua/<name>.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

#include "bench/script/rule_workloads.h"
#include "bench/script/workloads.h"
#include "platform/automation/convert.h"
#include "platform/script/builtins.h"
#include "platform/script/script_host.h"

#ifdef BREVALCORE_HAVE_LUA
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}
#endif

namespace {

using brevalcore::automation::FromUtf8;
using brevalcore::bench::kWorkloads;
using brevalcore::bench::Workload;

void BM_Vbs(benchmark::State& state, const Workload* w) {
  brevalcore::script::ScriptServices services;
  brevalcore::script::RegisterBuiltinFactories(*services.factories);
  auto host = brevalcore::script::CreateScriptHost(services);
  host->SetLanguage(u"VBScript");
  host->AddCode(FromUtf8(w->vbs));
  for (auto _ : state) {
    brevalcore::automation::Variant v = host->Eval(u"Run()");
    benchmark::DoNotOptimize(v);
  }
}

// What the script fuzz target pays per input: a fresh engine running one statement.
void BM_CreateEngine(benchmark::State& state) {
  brevalcore::script::ScriptServices services;
  for (auto _ : state) {
    auto host = brevalcore::script::CreateScriptHost(services);
    host->SetLanguage(u"VBScript");
    host->AddCode(u"x = 1");
    benchmark::DoNotOptimize(host);
  }
}
BENCHMARK(BM_CreateEngine)->Unit(benchmark::kMicrosecond);

#ifdef BREVALCORE_HAVE_LUA
void BM_Lua(benchmark::State& state, const Workload* w) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  if (luaL_dostring(L, w->lua) != LUA_OK) {
    state.SkipWithError(lua_tostring(L, -1));
    lua_close(L);
    return;
  }
  for (auto _ : state) {
    lua_getglobal(L, "run");
    lua_call(L, 0, 1);
    benchmark::DoNotOptimize(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
  lua_close(L);
}
#endif

// A rule workload, timed from a restarted session (an empty banner history) each iteration.
// Before the Lua side is timed, each side plays the workload once and must choose what the
// other chose; the run fails (exit status 1) when they do not, or when a side fails.
bool ruleWorkloadFailed = false;

using brevalcore::bench::RuleRunner;
using brevalcore::bench::RuleSession;
using brevalcore::bench::RuleWorkload;

std::unique_ptr<RuleRunner> MakeRunner(RuleSession& session, const RuleWorkload& w, bool lua) {
#ifdef BREVALCORE_HAVE_LUA
  if (lua) return session.Lua(w.lua);
#endif
  return session.Vbs(w.vbs);
}

struct Choices {
  std::vector<std::string> banners;
  std::string history;
  bool operator==(const Choices&) const = default;
};

Choices PlayOnce(const RuleWorkload& w, bool lua) {
  RuleSession session;
  auto rules = MakeRunner(session, w, lua);
  Choices choices;
  w.play(session, *rules, &choices.banners);
  choices.history = session.HistoryText();
  return choices;
}

// Checked once per workload: the benchmark library calls a benchmark several times.
bool SidesAgree(const RuleWorkload& w) {
  static std::map<const RuleWorkload*, bool> checked;
  auto [at, fresh] = checked.try_emplace(&w, false);
  if (fresh) at->second = PlayOnce(w, false) == PlayOnce(w, true);
  return at->second;
}

void BM_Rules(benchmark::State& state, const RuleWorkload* w, bool lua) {
  try {
    if (lua && !SidesAgree(*w)) {
      ruleWorkloadFailed = true;
      state.SkipWithError("the Lua side chose other banners than the VBScript side");
      return;
    }
    RuleSession session;
    auto rules = MakeRunner(session, *w, lua);
    for (auto _ : state) {
      state.PauseTiming();
      session.Restart();
      state.ResumeTiming();
      w->play(session, *rules, nullptr);
    }
  } catch (const std::exception& e) {
    ruleWorkloadFailed = true;
    state.SkipWithError(e.what());
  }
}

int Register() {
  for (const auto& w : kWorkloads) {
    benchmark::RegisterBenchmark((std::string("BM_Vbs/") + w.name).c_str(), BM_Vbs, &w)->Unit(benchmark::kMicrosecond);
#ifdef BREVALCORE_HAVE_LUA
    benchmark::RegisterBenchmark((std::string("BM_Lua/") + w.name).c_str(), BM_Lua, &w)->Unit(benchmark::kMicrosecond);
#endif
  }
  try {
    for (const auto& w : brevalcore::bench::RuleWorkloads()) {
      benchmark::RegisterBenchmark((std::string("BM_Vbs/") + w.name).c_str(), BM_Rules, &w, false)
          ->Unit(benchmark::kMillisecond);
#ifdef BREVALCORE_HAVE_LUA
      benchmark::RegisterBenchmark((std::string("BM_Lua/") + w.name).c_str(), BM_Rules, &w, true)
          ->Unit(benchmark::kMillisecond);
#endif
    }
  } catch (const std::exception& e) {
    // The rule workloads read their scripts from the source tree.
    std::fprintf(stderr, "script_bench: the rule workloads cannot be made: %s\n", e.what());
    ruleWorkloadFailed = true;
  }
  return 0;
}
const int registered = Register();

}  // namespace

int main(int argc, char** argv) {
#ifndef BREVALCORE_HAVE_LUA
  std::fprintf(stderr, "\n*** script_bench was built WITHOUT Lua 5.4 (liblua5.4-dev): no BM_Lua baseline, "
                       "no ratio can be measured. Run scripts/setup and rebuild. ***\n\n");
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (ruleWorkloadFailed) std::fprintf(stderr, "script_bench: a rule workload failed or its two sides disagree (see above)\n");
  return ruleWorkloadFailed ? 1 : 0;
}
