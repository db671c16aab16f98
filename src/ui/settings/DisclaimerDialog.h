#pragma once
// The first-run disclaimer: the terms in a read-only text, DECLINE (the default button) and ACCEPT.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace marquelo {

class DisclaimerDialog : public QDialog {
    Q_OBJECT
public:
    explicit DisclaimerDialog(QWidget* parent = nullptr);

    // The fixed text shown in the dialog.
    static QString disclaimerText();

    QPushButton* acceptButton() const { return m_accept; }
    QPushButton* declineButton() const { return m_decline; }

private:
    QPlainTextEdit* m_text;
    QPushButton* m_decline;
    QPushButton* m_accept;
};

// Shows the disclaimer modally; true only when it ended with ACCEPT.
bool runDisclaimer(QWidget* parent = nullptr);

} // namespace marquelo
