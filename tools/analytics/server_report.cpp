#include "tools/analytics/server_report.h"

namespace brevalcore::analytics {

namespace {

// The grouping value as text, written as the local store writes it.
const char* GroupExpression(tracing::Grouping by) {
  switch (by) {
    case tracing::Grouping::kBanner: return "''";
    case tracing::Grouping::kRegion: return "region";
    case tracing::Grouping::kAsl: return "asl";
    case tracing::Grouping::kWeek: return "to_char(day, 'IYYY-\"W\"IW')";
    case tracing::Grouping::kDay: return "to_char(day, 'YYYY-MM-DD')";
  }
  return "''";
}

}  // namespace

std::vector<tracing::CountRow> ServerCounts(Connection& server, const tracing::CountQuery& query) {
  std::string sql = std::string("SELECT banner, ") + GroupExpression(query.by) +
                    ", action, sum(events), count(DISTINCT doctor) FROM brevalcore.daily WHERE true";
  std::vector<std::string> params;
  auto where = [&](const std::string& condition, const std::string& value) {
    params.push_back(value);
    sql += " AND " + condition + "$" + std::to_string(params.size());
  };
  if (!query.since.empty()) where("day >= ", query.since);
  if (!query.until.empty()) where("day <= ", query.until);
  if (!query.banner.empty()) where("banner = ", query.banner);
  sql += " GROUP BY 1, 2, 3";
  const Result result = server.Exec(sql, params);
  std::vector<tracing::CountRow> rows;
  rows.reserve(static_cast<size_t>(result.Rows()));
  for (int r = 0; r < result.Rows(); ++r)
    rows.push_back(tracing::CountRow{result.Text(r, 0), result.Text(r, 1), result.Text(r, 2), result.Int(r, 3), result.Int(r, 4)});
  return rows;
}

}  // namespace brevalcore::analytics
