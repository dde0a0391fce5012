#include "bench/script/morning.h"

#include "bench/script/generator.h"

namespace brevalcore::bench {

namespace {

struct CatalogueEntry {
  const char* aic;
  const char* substance;
  int64_t priceCents;
};

// The drugs the sample rules name (B12, statins, PPIs, the probiotic, anticoagulants), drugs
// of the groups they match by substance, and everyday drugs no rule is about.
constexpr CatalogueEntry kCatalogue[] = {
    {"029876015", "B03BA01", 850},    {"029876027", "B03BA01", 1220},   {"025432011", "C10AA05", 2590},
    {"025432023", "C10AA01", 1890},   {"039876543", "C10AA05", 520},    {"039876556", "C10AA05", 680},
    {"033210014", "A02BC01", 450},    {"036540012", "A02BC02", 510},    {"012345678", "M01AE01", 600},
    {"023456789", "M01AB05", 720},    {"026089019", "J01CA04", 950},    {"031234567", "J01FA10", 1130},
    {"934561237", "A07FA01", 1200},   {"043210019", "B01AF02", 7500},   {"043210021", "B01AF02", 7500},
    {"044444018", "L04AB04", 85000},  {"020000011", "C09AA02", 320},    {"020000023", "N02BE01", 250},
    {"020000035", "R06AE07", 400},    {"020000047", "C07AB07", 380},    {"020000050", "A10BA02", 290},
    {"020000062", "C03CA01", 210},    {"020000074", "R03AC02", 560},    {"020000086", "N06AB06", 830},
};

constexpr const char* kProblems[] = {"250.00", "401.9", "428.0", "496",   "460",  "465.9",
                                     "281.0",  "714.0", "272.4", "530.81", "", ""};

PatientRecord MakePatient(Generator& g, int number) {
  PatientRecord p;
  p.id = "P" + std::to_string(10000 + number);
  p.sex = g.Chance(52) ? "F" : "M";
  p.birthYear = 1926 + g.Below(95);
  p.ssn = g.Chance(92);
  const int problems = g.Below(4);
  for (int i = 0; i < problems; ++i) {
    const std::string problem = g.Pick(kProblems);
    if (problem.empty()) continue;
    p.problems += (p.problems.empty() ? "" : ";") + problem;
  }
  return p;
}

}  // namespace

std::vector<Visit> GenerateMorning(uint32_t seed, int prescriptions) {
  Generator g(seed);
  // A practice of some hundreds of patients: many come back during the morning.
  std::vector<PatientRecord> patients;
  const int practice = prescriptions / 3 + 1;
  for (int i = 0; i < practice; ++i) patients.push_back(MakePatient(g, i));

  std::vector<Visit> visits;
  visits.reserve(static_cast<size_t>(prescriptions));
  for (int i = 0; i < prescriptions; ++i) {
    Visit v;
    v.patient = patients[static_cast<size_t>(g.Below(practice))];
    const int count = 1 + g.Below(4);
    for (int d = 0; d < count; ++d) {
      const CatalogueEntry& e = g.Pick(kCatalogue);
      bool repeated = false;
      for (const DrugLine& line : v.drugs) repeated |= line.aic == e.aic;
      if (!repeated) v.drugs.push_back({e.aic, e.substance, e.priceCents});
    }
    if (g.Chance(20)) v.problem = g.Pick(kProblems);
    v.removeFirst = v.drugs.size() > 1 && g.Chance(15);
    visits.push_back(std::move(v));
  }
  return visits;
}

}  // namespace brevalcore::bench
