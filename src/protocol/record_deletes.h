#pragma once

#include <functional>

class RecordTable;

// Row removals that a module's confirmation makes: a walk from the first row of the current
// sort and filter. A failing delete throws RecordError on, rows already removed stay removed.
namespace records {

using RowMatch = std::function<bool(const RecordTable&)>;

// Removes every row `match` accepts; returns how many went.
int deleteEveryMatch(RecordTable& table, const RowMatch& match);
// Removes the first row `match` accepts, if any.
bool deleteFirstMatch(RecordTable& table, const RowMatch& match);

} // namespace records
