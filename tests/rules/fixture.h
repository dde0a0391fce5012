#pragma once
// A context with a fixed clock whose doctor's profile file lives in a fresh temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/shell/clock.h"
#include "rules/context.h"
#include "storage/ini_file.h"

namespace brevalcore::rules::testing {

inline automation::Date At(int day, int month, int year, int hour = 0, int minute = 0, int second = 0) {
  return shell::MakeDate({year, month, day, hour, minute, second});
}

class HistoryFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brevalcore-rules-XXXXXX";
    folder_ = mkdtemp(pattern);
    setenv("BREVALCORE_CONTROL_DIR", folder_.c_str(), 1);
    context_ = automation::MakeRef<cContext>();
    context_->set_clock(&clock_);
    context_->CurrentFacts()->Doctor()->SetCode(u"D1");
    clock_.Set(At(15, 3, 2026, 10, 30, 0));
  }
  void TearDown() override {
    unsetenv("BREVALCORE_CONTROL_DIR");
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::string IniFile() const { return folder_ + "/BVC_D1.INI"; }
  std::string Ini(automation::StringView section, automation::StringView key) const {
    return automation::ToUtf8(storage::ReadIni(IniFile(), section, key));
  }
  void SetIni(automation::StringView section, automation::StringView key, automation::StringView value) {
    storage::WriteIni(IniFile(), section, key, value);
  }

  std::string folder_;
  shell::FixedClock clock_;
  Ref<cContext> context_;
};

}  // namespace brevalcore::rules::testing
