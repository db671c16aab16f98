#include "ui/viewer/ChangeCheck.h"

#include "core/viewer/PictureCache.h"

namespace marquelo {

namespace {
constexpr int kIntervalMs = 250;
} // namespace

ChangeCheck::ChangeCheck(PictureCache& cache, std::function<void()> onChanged)
    : m_cache(cache), m_onChanged(std::move(onChanged))
{
    m_timer.setInterval(kIntervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { check(); });
}

ChangeCheck::~ChangeCheck()
{
    m_timer.stop();
}

void ChangeCheck::check()
{
    if (m_checking)
        return;
    m_checking = true;
    if (m_cache.checkCurrentFile())
        m_onChanged();
    m_checking = false;
}

} // namespace marquelo
