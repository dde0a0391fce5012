#pragma once
// The report's counts from the analytics server, read from the daily roll-up, never from the
// raw records: the same CountRows the local store gives for the same records.
#include <vector>

#include "rules/tracing/store.h"
#include "tools/analytics/pg.h"

namespace brevalcore::analytics {

std::vector<tracing::CountRow> ServerCounts(Connection& server, const tracing::CountQuery& query);

}  // namespace brevalcore::analytics
