#include <algorithm>
#include <set>

#include "rules/tracing/tracer.h"

namespace brevalcore::tracing {

namespace {
constexpr char kShowAction[] = "SHOW";
constexpr size_t kColumnGap = 2;

// Width of a UTF-8 text in characters (continuation bytes do not count).
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}
}  // namespace

std::string FormatReport(const TraceDatabase::Summary& summary) {
  std::set<std::string> commands;
  for (const auto& [banner, actions] : summary)
    for (const auto& [action, count] : actions)
      if (action != kShowAction) commands.insert(action);

  std::vector<std::vector<std::string>> table;
  std::vector<std::string> header{"BANNER", kShowAction};
  header.insert(header.end(), commands.begin(), commands.end());
  table.push_back(header);
  for (const auto& row : summary) {
    // Named, not a structured binding: the lambda below captures it.
    const std::string& banner = row.first;
    const auto& actions = row.second;
    std::vector<std::string> line{banner.empty() ? "(none)" : banner};
    auto count = [&](const std::string& action) {
      const auto it = actions.find(action);
      return std::to_string(it == actions.end() ? 0 : it->second);
    };
    line.push_back(count(kShowAction));
    for (const auto& command : commands) line.push_back(count(command));
    table.push_back(line);
  }

  std::vector<size_t> widths(header.size(), 0);
  for (const auto& line : table)
    for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], Width(line[i]));

  std::string out;
  for (const auto& line : table) {
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
      const size_t pad = widths[i] - Width(line[i]);
      if (i == 0) {
        text += line[i] + std::string(pad, ' ');  // names to the left, counts to the right
      } else {
        text += std::string(kColumnGap + pad, ' ') + line[i];
      }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  return out;
}

}  // namespace brevalcore::tracing
