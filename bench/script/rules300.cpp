#include "bench/script/rules300.h"

#include <cstdio>

#include "bench/script/generator.h"

namespace brevalcore::bench {

namespace {

// The drugs of the stream: codes, substance groups and prices follow from the drug's number,
// so the rules can name codes and groups that the calls then meet now and then.
constexpr int kDrugs = 200;
constexpr int kSubstanceGroups = 60;
constexpr const char* kGroupLetters = "ABCJLMNR";

std::string DrugCode(int n) {
  char code[16];
  std::snprintf(code, sizeof code, "03%07d", 1000 + n * 37);
  return code;
}

std::string SubstanceGroup(int group) {
  char text[8];
  std::snprintf(text, sizeof text, "%c%02d%c", kGroupLetters[group % 8], 1 + group / 8, 'A' + group % 5);
  return text;
}

DrugLine StreamDrug(int n) {
  const int group = (n * 7) % kSubstanceGroups;
  return {DrugCode(n), SubstanceGroup(group) + static_cast<char>('A' + n % 3) + "0" + std::to_string(n % 10),
          150 + (n * 4111) % 9000};
}

enum class Test { CodeIs, CodeIn, SubstanceGroup, AgeBand, Sex, PriceBand, SubstanceLetter };

struct Condition {
  Test test;
  std::string text;  // a code, a list, a group, a sex or a letter
  double from = 0, to = 0;  // an age or price band
};

struct Language {
  const char* andWord;
  const char* orWord;
  const char* equals;
};
constexpr Language kVbs{" And ", " Or ", " = "};
constexpr Language kLua{" and ", " or ", " == "};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string Render(const Condition& c, bool vbs) {
  const Language& l = vbs ? kVbs : kLua;
  switch (c.test) {
    case Test::CodeIs: return std::string("code") + l.equals + Quoted(c.text);
    case Test::CodeIn:
      return vbs ? "InStr(" + Quoted(c.text) + ", \"|\" & code & \"|\") > 0"
                 : "string.find(" + Quoted(c.text) + ", \"|\" .. code .. \"|\", 1, true) ~= nil";
    case Test::SubstanceGroup:
      return (vbs ? "Left(substance, 4)" : std::string("string.sub(substance, 1, 4)")) + l.equals + Quoted(c.text);
    case Test::AgeBand: return "age >= " + Number(c.from) + l.andWord + "age < " + Number(c.to);
    case Test::Sex: return std::string("sex") + l.equals + Quoted(c.text);
    case Test::PriceBand: return "price > " + Number(c.from) + l.andWord + "price < " + Number(c.to);
    case Test::SubstanceLetter:
      return (vbs ? "Left(substance, 1)" : std::string("string.sub(substance, 1, 1)")) + l.equals + Quoted(c.text);
  }
  return {};
}

// A drug test: one code, a list of three, or a substance group.
Condition DrugCondition(Generator& g) {
  const int kind = g.Below(10);
  if (kind < 4) return {Test::CodeIs, DrugCode(g.Below(kDrugs))};
  if (kind < 7)
    return {Test::CodeIn, "|" + DrugCode(g.Below(kDrugs)) + "|" + DrugCode(g.Below(kDrugs)) + "|" +
                              DrugCode(g.Below(kDrugs)) + "|"};
  return {Test::SubstanceGroup, SubstanceGroup(g.Below(kSubstanceGroups))};
}

// Tests of the patient and the price; the bands are narrow, so that a call matches few rules
// (each match writes the banner history) and the time goes to the rules themselves.
Condition PatientCondition(Generator& g) {
  switch (g.Below(4)) {
    case 0: {
      const int from = g.Between(20, 80);
      return {Test::AgeBand, {}, static_cast<double>(from), static_cast<double>(from + 15)};
    }
    case 1: return {Test::Sex, g.Chance(50) ? "F" : "M"};
    case 2: {
      const double from = g.Between(2, 80) + 0.5;
      return {Test::PriceBand, {}, from, from + 10};
    }
    default: return {Test::SubstanceLetter, std::string(1, kGroupLetters[g.Below(8)])};
  }
}

// A drug test and two or three more, and now and then "Or" a second such group.
std::vector<std::vector<Condition>> MakeRule(Generator& g) {
  std::vector<std::vector<Condition>> groups;
  const int count = g.Chance(25) ? 2 : 1;
  for (int i = 0; i < count; ++i) {
    std::vector<Condition> group{DrugCondition(g), PatientCondition(g), PatientCondition(g)};
    if (g.Chance(40)) group.push_back(PatientCondition(g));
    groups.push_back(std::move(group));
  }
  return groups;
}

std::string RenderRule(const std::vector<std::vector<Condition>>& groups, int number, bool vbs) {
  const Language& l = vbs ? kVbs : kLua;
  std::string text = vbs ? "  If " : "  if ";
  for (size_t g = 0; g < groups.size(); ++g) {
    if (g) text += l.orWord;
    for (size_t c = 0; c < groups[g].size(); ++c) text += (c ? l.andWord : "") + Render(groups[g][c], vbs);
  }
  const std::string banner = Quoted("R" + std::to_string(number));
  return text + (vbs ? " Then ShowBanner " + banner + "\n" : " then ShowBanner(" + banner + ") end\n");
}

constexpr char kVbsHead[] =
    "Option Explicit\n"
    "Sub BeforeSelect\n"
    "  Dim patient, drug, code, substance, price, age, sex\n"
    "  Set patient = GetFacts().Patient\n"
    "  Set drug = GetFacts().Prescription.PrescribingDrug\n"
    "  code = drug.AIC\n"
    "  substance = drug.Substance\n"
    "  price = CDbl(drug.Price)\n"
    "  age = 2026 - Year(patient.BirthDate)\n"
    "  sex = patient.Sex\n";

// Prices cross as text in the user's locale; a Date is its day count (0 is 30/12/1899).
constexpr char kLuaHead[] =
    "function BeforeSelect()\n"
    "  local patient = GetFacts().Patient\n"
    "  local drug = GetFacts().Prescription.PrescribingDrug\n"
    "  local code = drug.AIC\n"
    "  local substance = drug.Substance\n"
    "  local price = tonumber((string.gsub(drug.Price, \",\", \".\")))\n"
    "  local age = 2026 - os.date(\"!*t\", math.floor((patient.BirthDate - 25569) * 86400)).year\n"
    "  local sex = patient.Sex\n";

}  // namespace

RuleScripts GenerateRuleScripts(uint32_t seed, int rules) {
  Generator g(seed);
  RuleScripts scripts{kVbsHead, kLuaHead};
  for (int r = 1; r <= rules; ++r) {
    const auto rule = MakeRule(g);
    scripts.vbs += RenderRule(rule, r, true);
    scripts.lua += RenderRule(rule, r, false);
  }
  scripts.vbs += "End Sub\n";
  scripts.lua += "end\n";
  return scripts;
}

std::vector<RuleCall> GenerateRuleCalls(uint32_t seed, int calls) {
  Generator g(seed);
  std::vector<RuleCall> stream;
  stream.reserve(static_cast<size_t>(calls));
  for (int i = 0; i < calls; ++i) {
    RuleCall call;
    call.patient.id = "P" + std::to_string(g.Below(400));
    call.patient.sex = g.Chance(50) ? "F" : "M";
    call.patient.birthYear = g.Between(1926, 2020);
    call.drug = StreamDrug(g.Below(kDrugs));
    stream.push_back(std::move(call));
  }
  return stream;
}

}  // namespace brevalcore::bench
