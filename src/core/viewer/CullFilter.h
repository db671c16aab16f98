#pragma once
// Which photos the walk, the grid and the counts show while culling: all, the ones not rejected, those
// with at least N stars, or the rejects alone. The photo on screen is never hidden by it: one that
// leaves the filter by a new rating stays until the next step.

#include <QString>

#include <cstdint>
#include <functional>

namespace marquelo {

enum class CullFilter : std::uint8_t {
    All,
    NotRejected,
    AtLeast1,
    AtLeast2,
    AtLeast3,
    AtLeast4,
    AtLeast5,
    RejectedOnly,
    Count_
};

// The stored setting as a filter (an unknown number is All).
CullFilter cullFilterFromSetting(std::uint8_t value);
// Whether a photo of `rating` (-1 reject, 0 none, 1..5 stars) is shown.
bool passesFilter(CullFilter filter, int rating);
// As the info line says it: "" for All, "not rejected", "≥3★", "rejected only".
QString cullFilterName(CullFilter filter);
// The filter Ctrl+F goes to: All, not rejected, at least 1..5 stars, rejected only, All again.
CullFilter nextCullFilter(CullFilter filter);

// Whether entry `index` is shown by the filter (entries whose marks are not read yet count as shown).
using FilterTest = std::function<bool(int index)>;

// The entry `steps` shown entries away from `from` (negative: backwards), stopping at the last shown one
// in that direction; `from` when none is shown there.
int stepFiltered(int count, int from, int steps, const FilterTest& shown);
// The first and last shown entries (-1 when none).
int firstFiltered(int count, const FilterTest& shown);
int lastFiltered(int count, const FilterTest& shown);

// The current entry's place among the shown ones (from 1) and their number; the current entry counts
// as shown even when its marks left the filter.
struct FilteredPosition {
    int position = 0;
    int count = 0;
};
FilteredPosition filteredPosition(int count, int current, const FilterTest& shown);

} // namespace marquelo
