#pragma once
// The "Rename Image" dialog: offers a file name split into base and extension and hands back the
// joined new name only when it is one the file can take in its folder.

#include "core/UserInterface.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLineEdit;

namespace marquelo {

class RenameDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBaseLimit = 240;
    static constexpr int kExtensionLimit = 64;
    static constexpr int kNameLimit = 260;

    // Offers `name` split at its last "." (a name without "." is all extension, as the row was designed).
    // `nameCheck` is asked about every joined name before the dialog accepts it; it returns the text
    // of a refusal, or an empty string when the name can be used.
    RenameDialog(const QString& name, UserInterface& ui, std::function<QString(const QString&)> nameCheck,
                 QWidget* parent = nullptr);

    // The joined name after OK.
    QString newName() const { return m_newName; }
    QString baseName() const;
    QString extension() const;

    // The refusal of the two boxes' limits and the total length, or an empty string when they are within.
    static QString checkLimits(const QString& base, const QString& extension);

    void accept() override;

private:
    UserInterface& m_ui;
    std::function<QString(const QString&)> m_nameCheck;
    QLineEdit* m_base = nullptr;
    QLineEdit* m_extension = nullptr;
    QString m_newName;
};

} // namespace marquelo
