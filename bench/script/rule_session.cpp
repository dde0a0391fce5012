#include "bench/script/rule_session.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/automation/convert.h"
#include "platform/automation/text.h"
#include "platform/script/builtins.h"
#include "platform/script/script_host.h"
#include "rules/history.h"
#include "storage/ini_file.h"

#ifdef BREVALCORE_HAVE_LUA
extern "C" {
#include <lauxlib.h>
#include <lualib.h>
}

#include "bench/script/lua_automation.h"
#endif

namespace brevalcore::bench {

namespace {

namespace fs = std::filesystem;
using automation::FromUtf8;
using automation::MakeRef;
using automation::Ref;

constexpr shell::DateParts kMorning{2026, 12, 7, 8, 30, 0};  // a Monday of the flu and ECM campaigns
constexpr double kSecondsPerPoint = 15;

Ref<rules::Drug> MakeDrug(const DrugLine& line) {
  auto drug = MakeRef<rules::Drug>();
  drug->SetAIC(FromUtf8(line.aic));
  drug->SetClasse(u"A");
  drug->SetSSN(true);
  drug->SetSubstance(FromUtf8(line.substance));
  drug->SetPrice(automation::FormatCurrency(automation::Currency{line.priceCents * 100}));
  return drug;
}

class VbsRunner : public RuleRunner {
 public:
  VbsRunner(const std::string& code, Ref<rules::Actions> actions, Ref<rules::Conditions> conditions,
            Ref<rules::Commands> commands) {
    script::RegisterBuiltinFactories(*services_.factories);
    host_ = script::CreateScriptHost(services_);
    host_->SetLanguage(u"VBScript");
    host_->AddObject(u"actions", actions, true);
    host_->AddObject(u"conditions", conditions, true);
    host_->AddObject(u"commands", commands, true);
    // The control reads the script byte by byte in the single-byte code page.
    host_->AddCode(automation::FromCp1252(code));
  }
  void Run(const char* procedure) override { host_->ExecuteStatement(FromUtf8(procedure)); }

 private:
  script::ScriptServices services_;
  std::unique_ptr<script::ScriptHost> host_;
};

#ifdef BREVALCORE_HAVE_LUA
class LuaRunner : public RuleRunner {
 public:
  LuaRunner(const std::string& code, Ref<rules::Actions> actions, Ref<rules::Conditions> conditions,
            Ref<rules::Commands> commands)
      : L_(luaL_newstate()) {
    luaL_openlibs(L_);
    OpenAutomation(L_);
    AddNamedObject(L_, "actions", actions, rules::Actions::Class());
    AddNamedObject(L_, "conditions", conditions, rules::Conditions::Class());
    AddNamedObject(L_, "commands", commands, rules::Commands::Class());
    if (luaL_dostring(L_, code.c_str()) != LUA_OK) Fail();
  }
  ~LuaRunner() override { lua_close(L_); }
  void Run(const char* procedure) override {
    lua_getglobal(L_, procedure);
    if (lua_pcall(L_, 0, 0, 0) != LUA_OK) Fail();
  }

 private:
  [[noreturn]] void Fail() {
    std::string message = lua_tostring(L_, -1) ? lua_tostring(L_, -1) : "unknown Lua error";
    lua_pop(L_, 1);
    throw std::runtime_error(message);
  }
  lua_State* L_;
};
#endif

// The profile file is written at every banner shown: on a disk file system its renames and
// journal would time the disk (and the other programs using it), not the rules.
fs::path SessionParent() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

}  // namespace

std::string SourceFile(const std::string& relativePath) {
  std::ifstream in(fs::path(BREVALCORE_SOURCE_DIR) / relativePath, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + relativePath);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

RuleSession::RuleSession() {
  std::string pattern = (SessionParent() / "bvc-rulebench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  folder_ = pattern;
  context_ = MakeRef<rules::cContext>();
  context_->set_clock(&clock_);
  context_->set_control_folder(folder_);
  actions_ = MakeRef<rules::Actions>();
  conditions_ = MakeRef<rules::Conditions>();
  commands_ = MakeRef<rules::Commands>();
  actions_->set_context(context_);
  conditions_->set_context(context_);
  commands_->set_context(context_);
  Restart();
}

RuleSession::~RuleSession() {
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

void RuleSession::Restart() {
  std::error_code ec;
  fs::remove(rules::IniFilePath(*context_), ec);
  storage::ClearIniCache();
  clock_.Set(shell::MakeDate(kMorning));
  context_->SetBanner(u"");
  context_->SetCurrentFacts(MakeRef<rules::Facts>());
  const auto facts = context_->CurrentFacts();
  const auto doctor = facts->Doctor();
  doctor->SetCode(u"D1");
  doctor->SetRegion(u"080");
  doctor->SetProvince(u"BO");
  doctor->SetAsl(u"105");
  doctor->SetSpecializationBranch(u"MG");
  doctor->SetSSN(true);
  facts->Application()->SetSoftware(u"QKV");
  facts->Application()->SetVersion(u"5.05.07");
  facts->Application()->SetEnableBanners(true);
}

std::unique_ptr<RuleRunner> RuleSession::Vbs(const std::string& code) {
  return std::make_unique<VbsRunner>(code, actions_, conditions_, commands_);
}

#ifdef BREVALCORE_HAVE_LUA
std::unique_ptr<RuleRunner> RuleSession::Lua(const std::string& code) {
  return std::make_unique<LuaRunner>(code, actions_, conditions_, commands_);
}
#endif

void RuleSession::SetPatient(const PatientRecord& record) {
  const auto patient = context_->CurrentFacts()->Patient();
  patient->SetId(FromUtf8(record.id));
  patient->SetSex(FromUtf8(record.sex));
  patient->SetBirthDate(shell::MakeDate({record.birthYear, 6, 15}));
  patient->SetSSN(record.ssn);
  patient->SetProblemsFromText(FromUtf8(record.problems));
}

void RuleSession::Record(std::vector<std::string>* banners) const {
  if (banners) banners->push_back(automation::ToUtf8(context_->Banner()));
}

void RuleSession::PlayMorning(const std::vector<Visit>& visits, RuleRunner& rules, std::vector<std::string>* banners) {
  const auto prescription = context_->CurrentFacts()->Prescription();
  const auto run = [&](const char* procedure) {
    clock_.AdvanceSeconds(kSecondsPerPoint);
    rules.Run(procedure);
    Record(banners);
  };
  for (const Visit& visit : visits) {
    SetPatient(visit.patient);
    prescription->Clear();
    rules::CountPrescription(*context_);
    run("StartPrescription");
    for (const DrugLine& line : visit.drugs) {
      prescription->SetPrescribingDrug(MakeDrug(line));
      run("BeforeSelect");
      prescription->AddDrug(MakeDrug(line));
      // The new line becomes current: nothing is being prescribed any more.
      prescription->SetCurrentDrug(FromUtf8(line.aic));
      prescription->SetPrescribingDrug(MakeDrug({}));
      run("BeforeSelect");
      run("AfterSelect");
    }
    if (!visit.problem.empty()) {
      prescription->AddProblem(FromUtf8(visit.problem));
      run("AfterSelect");
    }
    if (visit.removeFirst) {
      prescription->RemoveDrug(MakeDrug(visit.drugs.front()));
      run("AfterSelect");
    }
    prescription->Clear();
  }
}

void RuleSession::PlayCalls(const std::vector<RuleCall>& calls, RuleRunner& rules, std::vector<std::string>* banners) {
  const auto prescription = context_->CurrentFacts()->Prescription();
  for (const RuleCall& call : calls) {
    SetPatient(call.patient);
    prescription->SetPrescribingDrug(MakeDrug(call.drug));
    clock_.AdvanceSeconds(kSecondsPerPoint);
    rules.Run("BeforeSelect");
    Record(banners);
  }
}

std::string RuleSession::HistoryText() const {
  std::ifstream in(rules::IniFilePath(*context_), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace brevalcore::bench
