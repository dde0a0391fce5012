#pragma once
// The rule objects a rule script sees (actions, conditions, commands over one context), with a
// fixed clock and a doctor's profile file in a folder of their own: no control, no window, no
// web view. The session plays the host's work-flow on the facts as the control does and runs
// the rule procedure of each point, in VBScript through our engine or in Lua 5.4.
#include <memory>
#include <string>
#include <vector>

#include "bench/script/morning.h"
#include "platform/shell/clock.h"
#include "rules/actions.h"
#include "rules/commands.h"
#include "rules/conditions.h"

namespace brevalcore::bench {

// Runs a rule procedure by name; a failure of the script throws.
class RuleRunner {
 public:
  virtual ~RuleRunner() = default;
  virtual void Run(const char* procedure) = 0;
};

// One call of a rule procedure: the patient on screen and the drug being prescribed.
struct RuleCall {
  PatientRecord patient;
  DrugLine drug;
};

class RuleSession {
 public:
  RuleSession();
  ~RuleSession();
  RuleSession(const RuleSession&) = delete;
  RuleSession& operator=(const RuleSession&) = delete;

  // An empty banner history, no banner chosen, empty facts, the clock at the morning's start.
  void Restart();

  // The script compiled with the rule objects registered; BeforeInitialize not yet run.
  std::unique_ptr<RuleRunner> Vbs(const std::string& code);
#ifdef BREVALCORE_HAVE_LUA
  std::unique_ptr<RuleRunner> Lua(const std::string& code);
#endif

  // Each visit's work-flow points: the patient set, StartPrescription, BeforeSelect for each
  // drug picked, AfterSelect when it becomes the current line, a problem added, a drug taken
  // off. The banner chosen after each point is appended to `banners` when given.
  void PlayMorning(const std::vector<Visit>& visits, RuleRunner& rules, std::vector<std::string>* banners);
  // BeforeSelect for each call, its patient and drug set first.
  void PlayCalls(const std::vector<RuleCall>& calls, RuleRunner& rules, std::vector<std::string>* banners);

  // The doctor's profile file as it stands (the banner history both languages must leave alike).
  std::string HistoryText() const;

 private:
  void SetPatient(const PatientRecord& patient);
  void Record(std::vector<std::string>* banners) const;

  std::string folder_;
  shell::FixedClock clock_;
  automation::Ref<rules::cContext> context_;
  automation::Ref<rules::Actions> actions_;
  automation::Ref<rules::Conditions> conditions_;
  automation::Ref<rules::Commands> commands_;
};

// The text of a file below the source tree (bench/script/banner.lua, samples/...).
std::string SourceFile(const std::string& relativePath);

}  // namespace brevalcore::bench
