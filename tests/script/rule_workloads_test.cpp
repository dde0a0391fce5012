// The rule workloads of the speed comparison: the Lua side is a faithful port only if, played
// on the same facts, it makes the same choices as the VBScript side, and each workload must
// reach many of its rules, or the comparison would time the first lines only.
#include <gtest/gtest.h>

#include <set>

#include "bench/script/rule_workloads.h"

namespace brevalcore::bench {
namespace {

struct Played {
  std::vector<std::string> banners;
  std::string history;
};

Played Play(const RuleWorkload& workload, bool lua) {
  RuleSession session;
  auto rules = lua ? session.Lua(workload.lua) : session.Vbs(workload.vbs);
  Played played;
  workload.play(session, *rules, &played.banners);
  played.history = session.HistoryText();
  return played;
}

std::set<std::string> BannerNames(const std::vector<std::string>& banners) {
  std::set<std::string> names;
  for (const std::string& banner : banners)
    if (!banner.empty()) names.insert(banner.substr(0, banner.find('?')));
  return names;
}

TEST(RuleWorkloads, BothLanguagesChooseTheSameBannersAndLeaveTheSameHistory) {
  struct Row {
    const char* name;
    size_t minimumBanners;  // distinct banners the workload must reach
  };
  // The sample script has 12 banners; "B12" is for the doctor's first prescription of three.
  const Row rows[] = {{"sample_morning", 11}, {"rules_300", 40}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const RuleWorkload* workload = nullptr;
    for (const auto& w : RuleWorkloads())
      if (w.name == row.name) workload = &w;
    ASSERT_NE(workload, nullptr);
    const Played vbs = Play(*workload, false);
    const Played lua = Play(*workload, true);
    ASSERT_EQ(vbs.banners.size(), lua.banners.size());
    for (size_t i = 0; i < vbs.banners.size(); ++i) ASSERT_EQ(vbs.banners[i], lua.banners[i]) << "call " << i;
    EXPECT_EQ(vbs.history, lua.history);
    EXPECT_GE(BannerNames(vbs.banners).size(), row.minimumBanners);
  }
}

// A host member that fails reaches the Lua rule as a Lua error with the platform's number,
// not as a C++ exception unwinding through Lua's frames.
TEST(RuleWorkloads, AFailingHostCallIsALuaError) {
  RuleSession session;
  auto rules = session.Lua(
      "function Divide() MatchPrescriptionsCount(0, 1) end\n"
      "function Unknown() return GetFacts().Patient.NoSuchMember end\n");
  for (const char* procedure : {"Divide", "Unknown"}) {
    try {
      rules->Run(procedure);
      ADD_FAILURE() << procedure << " did not fail";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()), "") << procedure;
    }
  }
  try {
    rules->Run("Divide");
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("11: "), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace brevalcore::bench
