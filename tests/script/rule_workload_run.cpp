// Plays one rule workload in our engine, for the resource test's measure of peak memory:
// rule_workload_run NAME. Exit status 0 when it ran, 2 when there is no such workload, 1 on a failure.
#include <cstdio>
#include <exception>
#include <string>

#include "bench/script/rule_workloads.h"

int main(int argc, char** argv) {
  using namespace brevalcore::bench;
  if (argc != 2) return 2;
  try {
    for (const RuleWorkload& workload : RuleWorkloads()) {
      if (workload.name != argv[1]) continue;
      RuleSession session;
      auto rules = session.Vbs(workload.vbs);
      workload.play(session, *rules, nullptr);
      return 0;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rule_workload_run: %s\n", e.what());
    return 1;
  }
  return 2;
}
