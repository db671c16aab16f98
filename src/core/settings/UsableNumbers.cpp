#include "core/settings/UsableNumbers.h"

#include "core/settings/PreferencesFieldLimits.h"

namespace marquelo {

namespace {

const AppConfig& defaults()
{
    static const AppConfig d;
    return d;
}

std::int32_t within(std::int32_t value, std::int32_t low, std::int32_t high, std::int32_t fallback)
{
    return value >= low && value <= high ? value : fallback;
}

} // namespace

std::int32_t usableSizeSmall(const AppConfig& c)
{
    return within(c.SizeSmall, kMinImageSize, kMaxImageSize, defaults().SizeSmall);
}

std::int32_t usableSizeMedium(const AppConfig& c)
{
    return within(c.SizeMedium, kMinImageSize, kMaxImageSize, defaults().SizeMedium);
}

std::int32_t usableSizeLarge(const AppConfig& c)
{
    return within(c.SizeLarge, kMinImageSize, kMaxImageSize, defaults().SizeLarge);
}

std::int32_t usableCacheDepth(const AppConfig& c)
{
    return within(c.CacheDepth, 0, kMaxCacheDepth, defaults().CacheDepth);
}

std::int32_t usablePageLayoutStyle(const AppConfig& c)
{
    return within(c.PageLayoutStyle, 0, 3, defaults().PageLayoutStyle);
}

std::int32_t usablePageLayoutTemp(const AppConfig& c)
{
    return within(c.PageLayoutTemp, 0, 1, defaults().PageLayoutTemp);
}

} // namespace marquelo
