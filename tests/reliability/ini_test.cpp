// A doctor's settings file of about 10 MB, full of other sections and of lines the profile
// format does not expect: the session's history lands in it and every other byte stays.
#include <set>

#include "tests/reliability/expected.h"

namespace brevalcore::reliability {
namespace {

constexpr size_t kTargetSize = 10u << 20;
constexpr size_t kLongLine = 256u << 10;

// The keys the session writes, by section; every other line must come through unchanged.
const std::map<std::string, std::set<std::string>> kWritten = {
    {"BVC", {"PRESCRIPTIONSCOUNT", "DATE", "UPDATEDBURL", "UPDATEOCXURL", "TRACEURL"}},
    {"NOVITA", {"CARICAMENTO"}},
    {"B12", {"SHOW", "DATA", "PRESCRIBE", "CONSENSO", "BIG"}},
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// The file's lines with the lines of the written keys left out. A write rewrites the whole
// file from its parsed form, with CR LF line ends and without blank lines, so the lines are
// compared, not the line ends: every byte of every other line must come through.
std::vector<std::string> LinesWithoutWrittenKeys(const std::string& file) {
  std::vector<std::string> kept;
  std::string section;
  size_t begin = 0;
  while (begin < file.size()) {
    const size_t end = std::min(file.find_first_of("\r\n", begin), file.size());
    const std::string line = file.substr(begin, end - begin);
    begin = end + (file.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    const std::string trimmed = Trim(line);
    if (trimmed.empty()) continue;
    bool written = false;
    if (trimmed[0] == '[') {
      section = Upper(trimmed.substr(1, trimmed.find(']') - 1));
    } else if (const size_t eq = trimmed.find('='); eq != std::string::npos) {
      const auto keys = kWritten.find(section);
      written = keys != kWritten.end() && keys->second.count(Upper(Trim(trimmed.substr(0, eq))));
    }
    if (!written) kept.push_back(line);
  }
  return kept;
}

// The value of a key as the profile rules read it: first section of that name, first key.
std::string ValueIn(const std::string& file, const std::string& section, const std::string& key) {
  std::string current;
  size_t begin = 0;
  while (begin < file.size()) {
    size_t end = file.find('\n', begin);
    if (end == std::string::npos) end = file.size();
    const std::string trimmed = Trim(file.substr(begin, end - begin));
    begin = end + 1;
    if (!trimmed.empty() && trimmed[0] == '[') {
      current = Upper(trimmed.substr(1, trimmed.find(']') - 1));
    } else if (const size_t eq = trimmed.find('='); eq != std::string::npos && current == Upper(section) &&
                                                    Upper(Trim(trimmed.substr(0, eq))) == Upper(key)) {
      return Trim(trimmed.substr(eq + 1));
    }
  }
  return "<missing>";
}

// Ten megabytes of other sections, with the two sections the session writes in the middle,
// CR LF and LF line ends, bytes above 0x7F, lines without "=", very long lines.
std::string BigSettingsFile() {
  std::string file = "; impostazioni di prova\r\n";
  const std::string highBytes = "\xE8\xE9\xF2\x80\xFF";
  for (int section = 0; file.size() < kTargetSize; ++section) {
    const char* eol = section % 3 == 0 ? "\n" : "\r\n";
    file += "[Sezione" + std::to_string(section) + "]" + eol;
    for (int key = 0; key < 40; ++key)
      file += "Chiave" + std::to_string(key) + "=valore " + std::to_string(section * 40 + key) + " " + highBytes + eol;
    if (section % 50 == 0) file += std::string("riga senza uguale ") + highBytes + eol;
    if (section % 400 == 7) file += "Lunga=" + std::string(kLongLine, 'L') + eol;
    if (section % 400 == 9) file += std::string(kLongLine, 'N') + eol;
    if (section == 600) {
      file += "[BVC]\r\nNota=non toccare " + highBytes + "\r\nOffline=0\r\nsenza uguale\r\n\r\n";
      file += "[novita]\r\ncaricamento=vecchio\r\n";
      file += "[B12]\r\nSHOW=5\r\nconsenso=no\r\nriga strana \xE8\r\nChiave\xE8=\xE9\r\n;commento\r\n\r\n";
    }
  }
  file += "[Fine]\nultima riga senza a capo";
  return file;
}

TEST(HugeSettingsFile, KeepsEveryOtherByteAndTakesTheSessionsHistory) {
  Sandbox sandbox;
  const std::string original = BigSettingsFile();
  WriteFile(sandbox.iniFile(kDoctor), original);
  const std::string big(1u << 20, 'k');
  sandbox.AddLinks("B12.html", {"#PRESCRIBE?aic1", "#SAVEKEYDATA?consenso=si", "#SAVEKEYDATA?big=" + big});

  const RunResult run = sandbox.Run(std::string(kSessionStart) +
                                    "StartPrescription\n"
                                    "Echo \"banner \" & context.Banner\n"
                                    "Click \"#PRESCRIBE?aic1\"\n"
                                    "Click \"#SAVEKEYDATA?consenso=si\"\n"
                                    "Click \"#SAVEKEYDATA?big=\" & String(1048576, \"k\")\n"
                                    "Echo \"show \" & IniRead(\"B12\", \"SHOW\")\n"
                                    "Echo \"big \" & Len(IniRead(\"B12\", \"big\"))\n"
                                    "Echo \"other \" & IniRead(\"Sezione1234\", \"Chiave7\")\n"
                                    "Echo \"end\"\n");
  ExpectEndedNormally(run);
  EXPECT_TRUE(LinesWithWord(run, "msgbox").empty()) << Describe(run);

  // The designed results: the rule chose B12 (first prescription of the day, a patient over 65),
  // its history counted on from the old value, and a value read back is cut to 254.
  EXPECT_NE(FindLine(run, "echo", "banner B12"), -1) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "show 6"), -1) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "big 254"), -1) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "other valore 49367 \xC3\xA8\xC3\xA9\xC3\xB2\xE2\x82\xAC\xC3\xBF"), -1)
      << Describe(run);
  EXPECT_NE(FindLine(run, "event", "OnCommandClickExtended"), -1) << Describe(run);

  const std::string after = ReadFile(sandbox.iniFile(kDoctor));
  EXPECT_EQ(ValueIn(after, "B12", "SHOW"), "6");
  EXPECT_EQ(ValueIn(after, "B12", "DATA"), "06/12/2026 09:30:00");
  EXPECT_EQ(ValueIn(after, "B12", "PRESCRIBE"), "1");
  EXPECT_EQ(ValueIn(after, "B12", "consenso"), "si");
  EXPECT_EQ(ValueIn(after, "B12", "big"), big);
  EXPECT_NE(ValueIn(after, "BVC", "PrescriptionsCount"), "<missing>");
  EXPECT_EQ(ValueIn(after, "BVC", "Date"), "06/12/2026 00:00:00");

  const std::vector<std::string> kept = LinesWithoutWrittenKeys(after), expected = LinesWithoutWrittenKeys(original);
  EXPECT_EQ(kept.size(), expected.size());
  for (size_t i = 0; i < std::min(kept.size(), expected.size()); ++i) {
    if (kept[i] == expected[i]) continue;
    ADD_FAILURE() << "line " << i << " differs: expected \"" << expected[i].substr(0, 80) << "\", found \""
                  << kept[i].substr(0, 80) << "\"";
    break;
  }
  ExpectWritesOnlyOwnedPlaces(sandbox);
}

}  // namespace
}  // namespace brevalcore::reliability
