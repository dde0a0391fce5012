#include "rules/tracing/report.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <tuple>

namespace brevalcore::tracing {

namespace {

constexpr size_t kColumnGap = 2;

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Width of a UTF-8 text in characters (continuation bytes do not count).
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::vector<std::string> Header(const Report& report) {
  std::vector<std::string> header{"banner"};
  if (report.by != Grouping::kBanner) header.push_back(GroupColumn(report.by));
  header.insert(header.end(), {"shows", "doctors", "presses", "press_through"});
  header.insert(header.end(), report.words.begin(), report.words.end());
  return header;
}

// The line's cells in the order of Header; texts as they are, numbers in decimal.
std::vector<std::string> Cells(const Report& report, const ReportLine& line) {
  std::vector<std::string> cells{line.banner};
  if (report.by != Grouping::kBanner) cells.push_back(line.key);
  cells.insert(cells.end(), {std::to_string(line.shows), std::to_string(line.doctors), std::to_string(line.presses),
                             PressThrough(line.presses, line.shows)});
  for (const auto& word : report.words) {
    const auto it = line.pressesByWord.find(word);
    cells.push_back(std::to_string(it == line.pressesByWord.end() ? 0 : it->second));
  }
  return cells;
}

size_t TextColumns(const Report& report) { return report.by == Grouping::kBanner ? 1 : 2; }

// A spreadsheet runs a cell that starts with one of these as a formula; a leading quote
// keeps a hostile banner or region name a text.
std::string CsvField(std::string text, bool isText) {
  if (isText && !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos)
    text.insert(0, "'");
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string GroupColumn(Grouping by) {
  switch (by) {
    case Grouping::kBanner: return "";
    case Grouping::kRegion: return "region";
    case Grouping::kAsl: return "asl";
    case Grouping::kWeek: return "week";
    case Grouping::kDay: return "day";
  }
  return "";
}

std::string PressThrough(int64_t presses, int64_t shows) {
  if (shows <= 0) return "";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", static_cast<double>(presses) / static_cast<double>(shows));
  return buffer;
}

Report BuildReport(const std::vector<CountRow>& counts, Grouping by) {
  Report report;
  report.by = by;
  std::map<std::pair<std::string, std::string>, ReportLine> lines;
  std::set<std::string> words;
  for (const auto& count : counts) {
    const std::string key = by == Grouping::kBanner ? std::string() : count.key;
    ReportLine& line = lines[{count.banner, key}];
    line.banner = count.banner;
    line.key = key;
    if (count.action == kShowAction) {
      line.shows += count.events;
      line.doctors += count.doctors;
    } else {
      const std::string word = Upper(count.action);
      line.presses += count.events;
      line.pressesByWord[word] += count.events;
      words.insert(word);
    }
  }
  report.words.assign(words.begin(), words.end());
  for (auto& [key, line] : lines) report.lines.push_back(std::move(line));
  return report;
}

std::string FormatTable(const Report& report) {
  std::vector<std::vector<std::string>> table{Header(report)};
  for (const auto& line : report.lines) {
    table.push_back(Cells(report, line));
    if (table.back()[0].empty()) table.back()[0] = "(none)";
    if (table.back()[TextColumns(report) + 3].empty()) table.back()[TextColumns(report) + 3] = "-";
  }
  std::vector<size_t> widths(table[0].size(), 0);
  for (const auto& row : table)
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));

  std::string out;
  for (const auto& row : table) {
    std::string text;
    for (size_t i = 0; i < row.size(); ++i) {
      const size_t pad = widths[i] - Width(row[i]);
      if (i < TextColumns(report)) {
        text += (i ? std::string(kColumnGap, ' ') : std::string()) + row[i] + std::string(pad, ' ');  // names left
      } else {
        text += std::string(kColumnGap + pad, ' ') + row[i];  // figures right
      }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  return out;
}

std::string FormatCsv(const Report& report) {
  auto join = [&](const std::vector<std::string>& cells, bool header) {
    std::string text;
    for (size_t i = 0; i < cells.size(); ++i)
      text += (i ? "," : "") + CsvField(cells[i], !header && i < TextColumns(report));
    return text + "\n";
  };
  std::string out = join(Header(report), true);
  for (const auto& line : report.lines) out += join(Cells(report, line), false);
  return out;
}

std::string FormatJson(const Report& report) {
  const std::vector<std::string> header = Header(report);
  const size_t rateColumn = TextColumns(report) + 3;
  std::string out = "[";
  for (size_t l = 0; l < report.lines.size(); ++l) {
    const std::vector<std::string> cells = Cells(report, report.lines[l]);
    out += l ? ",\n {" : "\n {";
    for (size_t i = 0; i < cells.size(); ++i) {
      out += (i ? ", " : "") + JsonString(header[i]) + ": ";
      if (i < TextColumns(report)) out += JsonString(cells[i]);
      else if (i == rateColumn && cells[i].empty()) out += "null";
      else out += cells[i];
    }
    out += "}";
  }
  return out + (report.lines.empty() ? "]\n" : "\n]\n");
}

}  // namespace brevalcore::tracing
