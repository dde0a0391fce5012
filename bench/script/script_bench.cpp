// The five rule-script workloads (workloads.h) in our engine and in Lua 5.4. Compare the
// pairs: BM_Vbs/<name> against BM_Lua/<name>.
#include <benchmark/benchmark.h>

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

int Register() {
  for (const auto& w : kWorkloads) {
    benchmark::RegisterBenchmark((std::string("BM_Vbs/") + w.name).c_str(), BM_Vbs, &w)->Unit(benchmark::kMicrosecond);
#ifdef BREVALCORE_HAVE_LUA
    benchmark::RegisterBenchmark((std::string("BM_Lua/") + w.name).c_str(), BM_Lua, &w)->Unit(benchmark::kMicrosecond);
#endif
  }
  return 0;
}
const int registered = Register();

}  // namespace

BENCHMARK_MAIN();
