#pragma once
// Answers every modal dialog the program opens while a script drives it, the way a hurried user would:
// OK with what is offered, a page title where one is needed, the next queued name in the rename box,
// the queued file in a file chooser. A dialog that refuses the answer is cancelled.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <string>

class QWidget;

namespace marquelo::test {

class DialogPilot : public QObject {
public:
    DialogPilot();

    // Names typed into the next rename boxes (base and extension as the dialog splits them).
    std::deque<QString> renameTo;
    // Paths chosen in the next file choosers; with none queued a chooser is cancelled.
    std::deque<QString> chooseFile;
    // Title typed into a new page's properties.
    QString pageTitle = QStringLiteral("Hardening page");

    int dialogsAnswered() const { return m_answered; }
    int dialogsCancelled() const { return m_cancelled; }

private:
    void tick();
    void answer(QWidget* modal);

    QTimer m_timer;
    QPointer<QWidget> m_current;
    int m_attempts = 0;
    int m_answered = 0;
    int m_cancelled = 0;
};

} // namespace marquelo::test
