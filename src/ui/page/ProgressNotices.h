#pragma once
// Lasting lines over the bottom of the picture for page work that takes a while (publishing, a movie's
// web copy): each with a Cancel button while it runs, and a failure stays with a Close button until it
// has been read. The buttons never take the focus, so the viewer's keys go on working meanwhile.

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <string>

class QFrame;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace marquelo {

class ProgressNotices : public QObject {
    Q_OBJECT
public:
    // The lines become children of `window` (object name "progressNotices").
    explicit ProgressNotices(QWidget* window);

    // Shows or updates the line `key` with a Cancel button (object name "cancel-KEY") that runs `cancel`.
    void show(const std::string& key, const QString& text, std::function<void()> cancel);
    // Ends the line `key`; a lasting `text` takes its place with a Close button ("close-KEY").
    void end(const std::string& key, const QString& text, bool lasting);

    // The text of line `key`, empty when there is none.
    QString text(const std::string& key) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Line {
        QFrame* frame = nullptr;
        QLabel* label = nullptr;
        QPushButton* button = nullptr;
        std::function<void()> action;
    };
    Line& lineFor(const std::string& key);
    void remove(const std::string& key);
    void place();

    QWidget* m_window;
    QFrame* m_box;
    QVBoxLayout* m_layout;
    std::map<std::string, Line> m_lines;
};

} // namespace marquelo
