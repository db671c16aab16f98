#pragma once
// Reads the marks of a whole folder in the background, for the filter, the counts and the grid: one
// worker, nearest photos first, answers handed to the GUI thread in batches. The walk never waits for
// it; a photo not read yet counts as shown until its answer arrives.

#include "core/viewer/PhotoMarks.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace marquelo {

class MarksScanner : public QObject {
    Q_OBJECT
public:
    using Batch = std::vector<std::pair<std::string, PhotoMarks::Known>>;

    // `arrived` runs on the GUI thread with each batch of answers.
    explicit MarksScanner(std::function<void(Batch&&)> arrived, QObject* parent = nullptr);
    // Stops the worker and waits for it at most kExitWaitMs.
    ~MarksScanner() override;

    // Reads `paths` (nearest to `start` first), replacing a scan still running.
    void scan(std::vector<std::string> paths, int start);
    void stop();
    bool running() const;

    static constexpr int kBatch = 64;
    static constexpr int kExitWaitMs = 2000;

private:
    // Answers wait here for the GUI thread, which a queued call by name (it carries no data) tells to
    // take them: the hand-over is under a lock both threads take.
    struct Mailbox {
        std::mutex mutex;
        std::vector<Batch> batches; // guarded by mutex
        std::atomic<bool> cancelled{false};
    };
    Q_INVOKABLE void takeArrived();

    std::function<void(Batch&&)> m_arrived;
    QThreadPool m_pool;
    std::shared_ptr<Mailbox> m_mailbox;
};

} // namespace marquelo
