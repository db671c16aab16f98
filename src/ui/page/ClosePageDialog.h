#pragma once
// "Close Page?": asks before the ending is written; "&Browser Preview" shows the page as often as the
// user likes without closing the question.

#include <QDialog>

#include <functional>

namespace marquelo {

class ClosePageDialog : public QDialog {
    Q_OBJECT
public:
    // Accepted for "&Close Page" (the default button), rejected for "Cancel" or Escape.
    ClosePageDialog(const QString& question, std::function<void()> preview, QWidget* parent = nullptr);
};

} // namespace marquelo
