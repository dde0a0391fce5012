#pragma once
// A generated morning at a GP's desk: patients of varied age, sex and conditions, each
// prescription with one to four drugs, from the codes the sample rules know and others. The
// same seed gives the same morning on every machine.
#include <cstdint>
#include <string>
#include <vector>

namespace brevalcore::bench {

struct DrugLine {
  std::string aic;
  std::string substance;  // ATC code
  int64_t priceCents = 0;
};

struct PatientRecord {
  std::string id;
  std::string sex;  // "M" or "F"
  int birthYear = 1950;
  bool ssn = true;
  std::string problems;  // ICD-9 codes, ";"-separated
};

struct Visit {
  PatientRecord patient;
  std::vector<DrugLine> drugs;
  std::string problem;     // added to the prescription after its drugs, or empty
  bool removeFirst = false;  // the first drug is taken off again before the end
};

std::vector<Visit> GenerateMorning(uint32_t seed, int prescriptions);

}  // namespace brevalcore::bench
