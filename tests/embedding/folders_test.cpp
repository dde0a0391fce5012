// One folder per control: two controls of one process, given two control folders, keep the
// doctor's history, the trace database, the default ResBannerPath and every helper file in
// their own folder, and nothing in the process-wide one.
#include "brevalcore/control.h"

#include "rules/tracing/tracer.h"
#include "tests/embedding/embedding_fixture.h"

namespace brevalcore::embedding_test {
namespace {

class FoldersTest : public EmbeddingTest {
 protected:
  std::unique_ptr<Control> Make(const std::string& name) {
    fs::create_directories(root_ / (name + "-control"));
    fs::create_directories(root_ / (name + "-data"));
    ControlOptions options;
    options.controlFolder = Path(name + "-control");
    options.dataRoot = Path(name + "-data");
    std::string error;
    auto control = Control::Create(options, &error);
    EXPECT_TRUE(control) << error;
    return control;
  }
  std::vector<std::string> TracedBanners(const std::string& folder) const {
    std::vector<std::string> banners;
    auto db = tracing::TraceDatabase::Open(Path(folder + "/BVCTrace.db"), false);
    if (!db) return {"no trace database in " + folder};
    for (const auto& record : db->Records()) banners.push_back(record.banner + " " + record.action);
    return banners;
  }
};

TEST_F(FoldersTest, TwoControlsKeepToTheirOwnFolders) {
  auto a = Make("a");
  auto b = Make("b");
  for (Control* control : {a.get(), b.get()})
    ASSERT_TRUE(control->InitializeContext(true, "HOST", "D1", "080", "101", "MG", true, Path("package"), ""));
  // Interleaved, as two screens of one host would: A shows B12, B shows B7 and stores key data.
  ASSERT_TRUE(a->StartPrescription());
  ASSERT_TRUE(b->PrescribingDrug({"aic7", "A", true, "", {}}));
  ASSERT_TRUE(b->StartPrescription());
  ASSERT_TRUE(b->Click("#SAVEKEYDATA?consenso=si"));
  ASSERT_TRUE(a->StartPrescription());

  const std::string iniA = Read("a-control/BVC_D1.INI"), iniB = Read("b-control/BVC_D1.INI");
  EXPECT_NE(iniA.find("[B12]"), std::string::npos) << iniA;
  EXPECT_NE(iniA.find("SHOW=1"), std::string::npos) << iniA;
  EXPECT_EQ(iniA.find("[B7]"), std::string::npos) << iniA;
  EXPECT_EQ(iniA.find("consenso"), std::string::npos) << iniA;
  EXPECT_NE(iniB.find("[B7]"), std::string::npos) << iniB;
  EXPECT_NE(iniB.find("consenso=si"), std::string::npos) << iniB;
  EXPECT_NE(iniA.find("PrescriptionsCount=1"), std::string::npos) << iniA;  // two starts here, one there
  EXPECT_NE(iniB.find("PrescriptionsCount=0"), std::string::npos) << iniB;

  EXPECT_EQ(TracedBanners("a-control"), (std::vector<std::string>{"B12 SHOW"}));
  EXPECT_EQ(TracedBanners("b-control"), (std::vector<std::string>{"B7 SHOW", "B12 SHOW"}));

  // An empty ResBannerPath names the control's own folder.
  for (auto [control, folder] : {std::pair{a.get(), "a-control"}, std::pair{b.get(), "b-control"}}) {
    ASSERT_TRUE(control->SetFact("Application.ResBannerPath", ""));
    EXPECT_EQ(control->Fact("Application.ResBannerPath"), Path(folder));
  }
  EXPECT_TRUE(IsEmptyFolder("process-control"));
  EXPECT_TRUE(IsEmptyFolder("process-data"));
  EXPECT_TRUE(fs::exists(root_ / "a-data/Brevalcore/B12.html"));
  EXPECT_TRUE(fs::exists(root_ / "b-data/Brevalcore/B12.html"));
}

}  // namespace
}  // namespace brevalcore::embedding_test
