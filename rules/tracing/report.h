#pragma once
// The banner report of `brevalcore trace report`, the same from the local store and from the
// analytics server: both give counts per banner, group and action word (CountRow), and the
// figures and their formatting are made here from those counts alone, so the two agree byte
// for byte.
//
// Figures per line: shows (records of the action "SHOW"), doctors (distinct doctors who were
// shown the banner), presses (records of every other action word), press_through (presses /
// shows) and one column per command word, upper-cased.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rules/tracing/store.h"

namespace brevalcore::tracing {

inline constexpr char kShowAction[] = "SHOW";

struct ReportLine {
  std::string banner, key;
  int64_t shows = 0, doctors = 0, presses = 0;
  std::map<std::string, int64_t> pressesByWord;
};

struct Report {
  Grouping by = Grouping::kBanner;
  std::vector<std::string> words;  // the command words seen, sorted
  std::vector<ReportLine> lines;   // sorted by banner, then key
};

Report BuildReport(const std::vector<CountRow>& counts, Grouping by);

// "region", "asl", "week", "day"; empty for kBanner.
std::string GroupColumn(Grouping by);
// Presses per show with three decimals; empty when there were no shows.
std::string PressThrough(int64_t presses, int64_t shows);

std::string FormatTable(const Report& report);
std::string FormatCsv(const Report& report);
std::string FormatJson(const Report& report);

// The page a provider mails around: the table, shows and presses per day for each banner, and
// the press-through rate per region, as inline SVG. Nothing is loaded from anywhere.
struct HtmlReport {
  Report main, byDay, byRegion;
  std::string source;  // where the records came from, as the reader should see it
  std::string period;  // e.g. "2026-03-01 to 2026-03-31"
};
std::string FormatHtml(const HtmlReport& report);

}  // namespace brevalcore::tracing
