// The HTML report: one page with its styles and charts inline, so it can be mailed and opened
// anywhere. The page's own policy forbids loading anything, and every text from the records
// is escaped.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "platform/automation/calendar.h"
#include "rules/tracing/report.h"

namespace brevalcore::tracing {

namespace {

constexpr int kChartWidth = 640, kChartHeight = 160, kMargin = 36;
constexpr int kBarHeight = 18, kBarGap = 6, kLabelWidth = 120, kBarWidth = 420;
// A longer period is drawn over the days that have records only, so that hostile times cannot
// blow the page up.
constexpr int64_t kMaxChartDays = 1100;
constexpr char kShowColour[] = "#1f6fb2", kPressColour[] = "#d9822b";

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

std::string Table(const Report& report) {
  std::string out = "<table>\n<tr><th>banner</th>";
  if (report.by != Grouping::kBanner) out += "<th>" + GroupColumn(report.by) + "</th>";
  out += "<th>shows</th><th>doctors</th><th>presses</th><th>press-through</th>";
  for (const auto& word : report.words) out += "<th>" + Escape(word) + "</th>";
  out += "</tr>\n";
  for (const auto& line : report.lines) {
    out += "<tr><td>" + Escape(line.banner.empty() ? "(none)" : line.banner) + "</td>";
    if (report.by != Grouping::kBanner) out += "<td>" + Escape(line.key) + "</td>";
    const std::string rate = PressThrough(line.presses, line.shows);
    out += "<td>" + std::to_string(line.shows) + "</td><td>" + std::to_string(line.doctors) + "</td><td>" +
           std::to_string(line.presses) + "</td><td>" + (rate.empty() ? "-" : rate) + "</td>";
    for (const auto& word : report.words) {
      const auto it = line.pressesByWord.find(word);
      out += "<td>" + std::to_string(it == line.pressesByWord.end() ? 0 : it->second) + "</td>";
    }
    out += "</tr>\n";
  }
  return out + "</table>\n";
}

int64_t DayNumberOf(const std::string& day) {
  return automation::calendar::DayNumber(std::stoi(day.substr(0, 4)), std::stoi(day.substr(5, 2)),
                                         std::stoi(day.substr(8, 2)));
}

// Every day from the first to the last with records, so that quiet days show as zero.
std::vector<std::string> ChartDays(const std::set<std::string>& withRecords) {
  if (withRecords.empty()) return {};
  const int64_t first = DayNumberOf(*withRecords.begin()), last = DayNumberOf(*withRecords.rbegin());
  if (last - first > kMaxChartDays) return {withRecords.begin(), withRecords.end()};
  std::vector<std::string> days;
  for (int64_t n = first; n <= last; ++n) {
    int year = 0, month = 0, day = 0;
    automation::calendar::CivilDate(n, year, month, day);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    days.push_back(buffer);
  }
  return days;
}

std::string Polyline(const std::vector<int64_t>& values, int64_t top, const char* colour) {
  std::string points;
  const double step = values.size() > 1 ? double(kChartWidth - 2 * kMargin) / double(values.size() - 1) : 0;
  for (size_t i = 0; i < values.size(); ++i) {
    const double x = kMargin + step * double(i);
    const double y = kChartHeight - kMargin - double(values[i]) * (kChartHeight - 2 * kMargin) / double(top);
    points += (i ? " " : "") + Number(x) + "," + Number(y);
  }
  return "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" + std::string(colour) + "\" points=\"" + points +
         "\"/>";
}

// Shows and presses of one banner for every day of `days` (days without records count 0).
std::string DailyChart(const std::string& banner, const std::vector<std::string>& days,
                       const std::map<std::string, const ReportLine*>& byDay) {
  std::vector<int64_t> shows, presses;
  for (const auto& day : days) {
    const auto it = byDay.find(day);
    shows.push_back(it == byDay.end() ? 0 : it->second->shows);
    presses.push_back(it == byDay.end() ? 0 : it->second->presses);
  }
  const int64_t top = std::max<int64_t>(1, std::max(*std::max_element(shows.begin(), shows.end()),
                                                    *std::max_element(presses.begin(), presses.end())));
  const std::string w = std::to_string(kChartWidth), h = std::to_string(kChartHeight);
  std::string svg = "<figure><figcaption>" + Escape(banner.empty() ? "(none)" : banner) +
                    "</figcaption>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
                    "\" viewBox=\"0 0 " + w + " " + h + "\" role=\"img\">\n";
  const std::string bottom = std::to_string(kChartHeight - kMargin), right = std::to_string(kChartWidth - kMargin);
  svg += "<line x1=\"" + std::to_string(kMargin) + "\" y1=\"" + bottom + "\" x2=\"" + right + "\" y2=\"" + bottom +
         "\" stroke=\"#999\"/>\n";
  svg += "<text x=\"4\" y=\"" + std::to_string(kMargin) + "\">" + std::to_string(top) + "</text>\n";
  svg += "<text x=\"" + std::to_string(kMargin) + "\" y=\"" + std::to_string(kChartHeight - 8) + "\">" +
         Escape(days.front()) + "</text>\n";
  svg += "<text x=\"" + right + "\" y=\"" + std::to_string(kChartHeight - 8) + "\" text-anchor=\"end\">" +
         Escape(days.back()) + "</text>\n";
  svg += Polyline(shows, top, kShowColour) + "\n" + Polyline(presses, top, kPressColour) + "\n</svg></figure>\n";
  return svg;
}

std::string RegionChart(const Report& byRegion) {
  std::map<std::string, std::pair<int64_t, int64_t>> regions;  // region: presses, shows
  for (const auto& line : byRegion.lines) {
    regions[line.key].first += line.presses;
    regions[line.key].second += line.shows;
  }
  double top = 0;
  for (const auto& [region, figures] : regions)
    if (figures.second > 0) top = std::max(top, double(figures.first) / double(figures.second));
  if (top <= 0) top = 1;
  const int height = static_cast<int>(regions.size()) * (kBarHeight + kBarGap) + kBarGap;
  const int width = kLabelWidth + kBarWidth + 80;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
                    std::to_string(height) + "\" role=\"img\">\n";
  int y = kBarGap;
  for (const auto& [region, figures] : regions) {
    const std::string rate = PressThrough(figures.first, figures.second);
    const double value = rate.empty() ? 0 : double(figures.first) / double(figures.second);
    const std::string middle = std::to_string(y + kBarHeight - 5);
    svg += "<text x=\"0\" y=\"" + middle + "\">" + Escape(region.empty() ? "(none)" : region) + "</text>";
    svg += "<rect x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + std::to_string(y) + "\" height=\"" +
           std::to_string(kBarHeight) + "\" width=\"" + Number(value / top * kBarWidth) + "\" fill=\"" +
           kPressColour + "\"/>";
    svg += "<text x=\"" + Number(kLabelWidth + value / top * kBarWidth + 6) + "\" y=\"" + middle + "\">" +
           (rate.empty() ? "-" : rate) + "</text>\n";
    y += kBarHeight + kBarGap;
  }
  return svg + "</svg>\n";
}

}  // namespace

std::string FormatHtml(const HtmlReport& report) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
      "<title>Banner report</title>\n<style>\n"
      "body{font-family:sans-serif;margin:2em;color:#222}table{border-collapse:collapse}"
      "td,th{border:1px solid #ccc;padding:2px 8px;text-align:right}td:first-child,th:first-child{text-align:left}"
      "figure{margin:1em 0}figcaption{font-weight:bold}svg text{font-size:11px;fill:#444}"
      ".key span{display:inline-block;width:1em;height:.6em;margin:0 .3em 0 1em}\n"
      "</style>\n</head>\n<body>\n<h1>Banner report</h1>\n";
  page += "<p>" + Escape(report.source) + (report.period.empty() ? "" : ", " + Escape(report.period)) + "</p>\n";
  page += "<h2>Per banner</h2>\n" + Table(report.main);

  page += "<h2>Shows and presses per day</h2>\n<p class=\"key\"><span style=\"background:" + std::string(kShowColour) +
          "\"></span>shows<span style=\"background:" + kPressColour + "\"></span>presses</p>\n";
  std::set<std::string> daySet;
  std::map<std::string, std::map<std::string, const ReportLine*>> banners;
  for (const auto& line : report.byDay.lines) {
    daySet.insert(line.key);
    banners[line.banner][line.key] = &line;
  }
  const std::vector<std::string> days = ChartDays(daySet);
  if (days.empty()) page += "<p>No records in this period.</p>\n";
  for (const auto& [banner, byDay] : banners) page += DailyChart(banner, days, byDay);

  page += "<h2>Press-through by region</h2>\n" + RegionChart(report.byRegion);
  return page + "</body>\n</html>\n";
}

}  // namespace brevalcore::tracing
