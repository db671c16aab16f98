#include "core/viewer/MarksScanner.h"

#include "core/settings/Logging.h"

#include <algorithm>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace marquelo {

MarksScanner::MarksScanner(std::function<void(Batch&&)> arrived, QObject* parent)
    : QObject(parent), m_arrived(std::move(arrived))
{
    m_pool.setMaxThreadCount(1);
}

MarksScanner::~MarksScanner()
{
    stop();
    if (!m_pool.waitForDone(kExitWaitMs))
        qCWarning(lcViewer) << "The marks scan did not stop in time";
}

void MarksScanner::stop()
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel.reset();
}

bool MarksScanner::running() const
{
    return m_pool.activeThreadCount() > 0;
}

void MarksScanner::scan(std::vector<std::string> paths, int start)
{
    stop();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancel;
    // Nearest first: the photos the next steps reach are known soonest.
    std::vector<std::string> order;
    order.reserve(paths.size());
    const int count = int(paths.size());
    start = std::clamp(start, 0, std::max(0, count - 1));
    for (int distance = 0; int(order.size()) < count; ++distance) {
        if (start + distance < count)
            order.push_back(std::move(paths[std::size_t(start + distance)]));
        if (distance > 0 && start - distance >= 0)
            order.push_back(std::move(paths[std::size_t(start - distance)]));
    }
    m_pool.start([this, cancel, order = std::move(order)] {
        // Niced like the thumbnail workers: the picture loads and the window come first.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
        Batch batch;
        auto hand = [&] {
            QMetaObject::invokeMethod(
                this,
                [this, cancel, answers = std::move(batch)]() mutable {
                    if (!cancel->load())
                        m_arrived(std::move(answers));
                },
                Qt::QueuedConnection);
            batch = Batch();
        };
        for (const std::string& path : order) {
            if (cancel->load())
                return;
            const media::MarksRead read = media::readMarks(path);
            batch.emplace_back(path, PhotoMarks::Known{read.marks, read.stamp, read.problem});
            if (int(batch.size()) >= kBatch)
                hand();
        }
        if (!batch.empty())
            hand();
    });
}

} // namespace marquelo
