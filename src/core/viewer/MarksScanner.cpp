#include "core/viewer/MarksScanner.h"

#include "core/settings/Logging.h"
#include "core/viewer/WorkPools.h"

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
    if (m_mailbox)
        m_mailbox->cancelled.store(true);
    m_mailbox.reset();
}

void MarksScanner::takeArrived()
{
    if (!m_mailbox)
        return; // stopped: what a cancelled scan still posted is dropped with its mailbox
    const std::shared_ptr<Mailbox> box = m_mailbox;
    std::vector<Batch> batches;
    {
        const std::lock_guard lock(box->mutex);
        batches.swap(box->batches);
    }
    for (Batch& batch : batches) {
        if (m_mailbox != box)
            return; // the receiver started another scan or stopped this one
        m_arrived(std::move(batch));
    }
}

bool MarksScanner::running() const
{
    return m_pool.activeThreadCount() > 0;
}

void MarksScanner::scan(std::vector<std::string> paths, int start)
{
    stop();
    auto mailbox = std::make_shared<Mailbox>();
    m_mailbox = mailbox;
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
    workpools::run(m_pool, [this, mailbox, order = std::move(order)] {
        // Niced like the thumbnail workers: the picture loads and the window come first.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
        Batch batch;
        auto hand = [&] {
            {
                const std::lock_guard lock(mailbox->mutex);
                mailbox->batches.push_back(std::move(batch));
            }
            batch = Batch();
            QMetaObject::invokeMethod(this, "takeArrived", Qt::QueuedConnection);
        };
        for (const std::string& path : order) {
            if (mailbox->cancelled.load())
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
