#pragma once
// "Close Page?": asks before the ending is written; "&Browser Preview" shows the page as often as the
// user likes without closing the question.

#include <QDialog>

#include <functional>

namespace marquelo {

class ClosePageDialog : public QDialog {
    Q_OBJECT
public:
    // The result of "Close and &Publish".
    static constexpr int kCloseAndPublish = 2;

    // Accepted for "&Close Page" (the default button), rejected for "Cancel" or Escape. With `openFolder`
    // the question also offers "Open &Folder" (which keeps it open) and "Close and &Publish", enabled
    // when `canPublish`.
    ClosePageDialog(const QString& question, std::function<void()> preview, QWidget* parent = nullptr,
                    std::function<void()> openFolder = {}, bool canPublish = false);
};

} // namespace marquelo
