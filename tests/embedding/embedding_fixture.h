#pragma once
// A machine for the public interfaces: a temporary root with a control folder, a data root and
// a banner package packed from a small rule script and two pages, and the process-wide folders
// pointed at folders of their own, so that a test sees anything written outside the folders a
// control was given.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "storage/packages/package_builder.h"

namespace brevalcore::embedding_test {

namespace fs = std::filesystem;

// Shows B12 at the start of a prescription, and "B7" when the prescribing drug is aic7.
inline constexpr char kScript[] = R"(Sub BeforeInitialize
  DefaultEmptyPage = "https://servizi.example/home"
End Sub
Sub StartPrescription
  ShowBanner "B12"
End Sub
Sub BeforeSelect
  If GetFacts().Prescription.PrescribingDrug.AIC = "aic7" Then ShowBanner "B7"
End Sub
Sub AfterSelect
End Sub
)";

inline constexpr char kBanner[] = R"(<html><body>
<a href="#PRESCRIBE?aic1?MODE=1">Prescrivi</a>
<a href="#PRESCRIBE?aic1&aic2">Scegli</a>
<a href="#VOLUNTAS?abc">Voluntas</a>
<a href="#SAVEKEYDATA?consenso=si">Consenso</a>
</body></html>)";

class EmbeddingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("bvc-embedding-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    for (const char* folder : {"control", "data", "package", "source", "process-control", "process-data"})
      fs::create_directories(root_ / folder);
    Write("source/banner.script", kScript);
    Write("source/B12.html", kBanner);
    Write("source/B7.html", "<html><body>B7</body></html>");
    Write("source/offline.html", "<html><body>offline</body></html>");
    Pack("source", "package");
    // What a control uses when it is given no folder: nothing may appear there.
    ::setenv("BREVALCORE_CONTROL_DIR", (root_ / "process-control").c_str(), 1);
    ::setenv("BREVALCORE_COMMON_APPDATA", (root_ / "process-data").c_str(), 1);
    ::unsetenv("BREVALCORE_TRACE_DB");
  }
  void TearDown() override { fs::remove_all(root_); }

  void Write(const std::string& relative, const std::string& text) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << text;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(root_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Packs the folder `from` into `to`/BVCRES.DLL.
  void Pack(const std::string& from, const std::string& to, const std::string& version = "1.0.0.1") {
    packages::PackOptions options;
    options.version = version;
    const packages::PackResult packed = packages::BuildPackage((root_ / from).string(), options);
    ASSERT_TRUE(packed.ok) << packed.error;
    std::ofstream out(root_ / to / "BVCRES.DLL", std::ios::binary);
    out.write(reinterpret_cast<const char*>(packed.library.data()), static_cast<std::streamsize>(packed.library.size()));
  }
  std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
  bool IsEmptyFolder(const std::string& relative) const { return fs::is_empty(root_ / relative); }

  fs::path root_;
};

}  // namespace brevalcore::embedding_test
