// Plug-ins that do not load are reported with their path and reason, in the log and in the
// diagnostics list, never ignored.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/automation/diagnostics.h"
#include "platform/automation/factory.h"
#include "platform/automation/plugins.h"

namespace brevalcore::automation {
namespace {

namespace fs = std::filesystem;

TEST(Diagnostics, PluginsThatFailToLoadAreReportedWithPathAndReason) {
  const fs::path folder = fs::temp_directory_path() / ("brevalcore_plugins_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::ofstream(folder / "broken.so") << "not a shared library";
  std::vector<Diagnostic> logged;
  SetDiagnosticSink([&](const Diagnostic& d) { logged.push_back(d); });
  ClearDiagnostics();
  ObjectFactories factories;
  const std::string missing = (folder / "missing.so").string();
  const PluginLoadReport report = LoadPlugins(factories, missing + ":" + folder.string() + ":/usr/lib/x86_64-linux-gnu/libc.so.6");
  struct Row {
    std::string path;
    std::string reason;
  } rows[] = {
      {missing, "No such file"},
      {(folder / "broken.so").string(), "file too short"},
      {"libc.so.6", "no brevalcore_plugin_init"},
  };
  const std::vector<Diagnostic> kept = Diagnostics();
  ASSERT_EQ(kept.size(), std::size(rows));
  EXPECT_EQ(logged, kept);
  for (size_t i = 0; i < kept.size(); ++i) {
    SCOPED_TRACE(rows[i].path);
    EXPECT_EQ(kept[i].source, "plug-in");
    EXPECT_NE(kept[i].message.find(rows[i].path), std::string::npos) << kept[i].message;
    EXPECT_NE(kept[i].message.find(rows[i].reason), std::string::npos) << kept[i].message;
    EXPECT_EQ(report.failed[i], kept[i].message);
  }
  SetDiagnosticSink(LogToStandardError);
  fs::remove_all(folder);
}

TEST(Diagnostics, OnlyTheMostRecentAreKept) {
  SetDiagnosticSink({});
  ClearDiagnostics();
  for (size_t i = 0; i < kMaxDiagnostics + 5; ++i) ReportDiagnostic("test", std::to_string(i));
  const std::vector<Diagnostic> kept = Diagnostics();
  ASSERT_EQ(kept.size(), kMaxDiagnostics);
  EXPECT_EQ(kept.front().message, "5");
  EXPECT_EQ(kept.back().message, std::to_string(kMaxDiagnostics + 4));
  SetDiagnosticSink(LogToStandardError);
}

}  // namespace
}  // namespace brevalcore::automation
