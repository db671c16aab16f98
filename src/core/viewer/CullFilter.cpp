#include "core/viewer/CullFilter.h"

namespace marquelo {

CullFilter cullFilterFromSetting(std::uint8_t value)
{
    return value < std::uint8_t(CullFilter::Count_) ? CullFilter(value) : CullFilter::All;
}

bool passesFilter(CullFilter filter, int rating)
{
    switch (filter) {
    case CullFilter::All: return true;
    case CullFilter::NotRejected: return rating >= 0;
    case CullFilter::AtLeast1:
    case CullFilter::AtLeast2:
    case CullFilter::AtLeast3:
    case CullFilter::AtLeast4:
    case CullFilter::AtLeast5: return rating >= int(filter) - int(CullFilter::AtLeast1) + 1;
    case CullFilter::RejectedOnly: return rating < 0;
    case CullFilter::Count_: break;
    }
    return true;
}

QString cullFilterName(CullFilter filter)
{
    switch (filter) {
    case CullFilter::All: return {};
    case CullFilter::NotRejected: return QStringLiteral("not rejected");
    case CullFilter::RejectedOnly: return QStringLiteral("rejected only");
    default: return QStringLiteral("\u2265%1\u2605").arg(int(filter) - int(CullFilter::AtLeast1) + 1);
    }
}

CullFilter nextCullFilter(CullFilter filter)
{
    const int next = (int(filter) + 1) % int(CullFilter::Count_);
    return CullFilter(next);
}

int stepFiltered(int count, int from, int steps, const FilterTest& shown)
{
    if (count <= 0)
        return 0;
    const int direction = steps < 0 ? -1 : 1;
    int remaining = steps < 0 ? -steps : steps;
    int reached = from;
    for (int i = from + direction; i >= 0 && i < count && remaining > 0; i += direction) {
        if (shown(i)) {
            reached = i;
            --remaining;
        }
    }
    return reached;
}

int firstFiltered(int count, const FilterTest& shown)
{
    for (int i = 0; i < count; ++i)
        if (shown(i))
            return i;
    return -1;
}

int lastFiltered(int count, const FilterTest& shown)
{
    for (int i = count - 1; i >= 0; --i)
        if (shown(i))
            return i;
    return -1;
}

FilteredPosition filteredPosition(int count, int current, const FilterTest& shown)
{
    FilteredPosition result;
    for (int i = 0; i < count; ++i) {
        if (i == current || shown(i)) {
            ++result.count;
            if (i <= current)
                result.position = result.count;
        }
    }
    return result;
}

} // namespace marquelo
