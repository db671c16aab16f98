#pragma once
// The "Progress" window of a large download: a progress bar, a Cancel button and a caption that counts
// the bytes. It is a modal dialog on the GUI thread; the download waits in a local event loop, so the
// window stays live and its Cancel is seen after the piece in progress.

#include "core/update/DownloadProgress.h"

#include <QDialog>

#include <atomic>
#include <cstdint>

class QProgressBar;

namespace marquelo {

class DownloadProgressDialog : public QDialog, public DownloadProgress {
    Q_OBJECT
public:
    explicit DownloadProgressDialog(QWidget* parent = nullptr);
    ~DownloadProgressDialog() override;

    void start(const std::string& format, std::int64_t lower, std::int64_t upper) override;
    void setPosition(std::int64_t position) override;
    void closeWindow() override;
    bool closed() const override { return m_closed.load(); }

    // The caption format filled with the two numbers, %d by %d, nothing else interpreted.
    static QString fillCaption(const QString& format, std::int64_t position, std::int64_t total);

    QProgressBar* progressBar() const { return m_bar; }

private:
    void refreshCaption();

    QProgressBar* m_bar = nullptr;
    QString m_format;
    std::int64_t m_lower = 0;
    std::int64_t m_upper = 100;
    std::int64_t m_position = 0;
    std::atomic<bool> m_closed{false};
};

} // namespace marquelo
