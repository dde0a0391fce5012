#pragma once
// What every hostile session must show: the designed report texts, an end by itself in time,
// and writes only where the control may write.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "tests/reliability/sandbox.h"

namespace brevalcore::reliability {

// The control's failure report: "Error " + number + " (" + description + ") in procedure " +
// name + " of Controllo utente", title "Info Controllo Utente", OK button only.
inline constexpr char kReportTitle[] = "Info Controllo Utente";
inline constexpr char kOkOnly[] = "0";
// The package update's own report: critical-stop icon, default title.
inline constexpr char kUpdateReportPrefix[] = "Error in UpdateFromRES \r\n";
inline constexpr char kCriticalStop[] = "16";

inline constexpr char kDoctor[] = "D1";
// The start of every session: the default page answers (a failed navigation would switch the
// control offline), the host initialises the control for doctor D1 of region 080 and sets a
// man of 70, for whom the sample rules choose B12 at the first prescription of the day.
inline constexpr char kSessionStart[] =
    "Reachable \"https://servizi.example/\"\n"
    "InitializeContext True, \"APP\", \"D1\", \"080\", \"101\", \"MG\", True, \"\", \"\"\n"
    "Patient.Id = \"P0107\"\n"
    "Patient.Name = \"Mario Rossi\"\n"
    "SetPatient \"M\", \"14/03/1956\", True, \"401.9\"\n";

inline bool IsReport(const std::string& text, const std::string& procedure) {
  static const std::string kHead = "Error ";
  const std::string tail = ") in procedure " + procedure + " of Controllo utente";
  if (text.compare(0, kHead.size(), kHead) != 0 || text.size() < kHead.size() + tail.size() ||
      text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  // Between them: a whole number, " (" and a description that is not empty.
  size_t at = kHead.size() + (text[kHead.size()] == '-' ? 1 : 0);
  const size_t digits = at;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  return at > digits && text.compare(at, 2, " (") == 0 && at + 2 < text.size() - tail.size();
}

// The session ended by itself, within its bound, and its script ran to the end.
inline void ExpectEndedNormally(const RunResult& run) {
  EXPECT_FALSE(run.timedOut) << Describe(run);
  EXPECT_TRUE(run.exited) << Describe(run);
  EXPECT_EQ(run.signal, 0) << Describe(run);
  EXPECT_EQ(run.status, 0) << Describe(run);
  EXPECT_NE(FindLine(run, "echo", "end"), -1) << Describe(run);
}

inline void ExpectWritesOnlyOwnedPlaces(const Sandbox& sandbox) {
  const std::vector<Change> outside = sandbox.ChangesOutsideOwnedPlaces(kDoctor);
  EXPECT_TRUE(outside.empty()) << Describe(outside);
}

}  // namespace brevalcore::reliability
