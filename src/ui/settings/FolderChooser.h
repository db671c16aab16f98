#pragma once
// The folder chooser behind browseForFolder and browseForFolderOnDisk. It lists folders by their names
// on disk, so that a folder whose name is not UTF-8 can be reached and chosen by mouse and keyboard like
// any other (Qt's own file dialog leaves such entries out).

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace marquelo {

class FolderChooser : public QDialog {
public:
    // Opens on folder (bytes; relative to the current folder, or the current folder itself when "").
    FolderChooser(QWidget* parent, const QString& title, const std::string& folder);

    // For a caller that keeps the folder as text: a folder whose name text cannot hold is refused in
    // the dialog with a message instead of being chosen.
    void setTextOnly(bool textOnly) { m_textOnly = textOnly; }

    // The folder chosen with OK: the selected entry, else the folder shown.
    const std::string& chosen() const { return m_chosen; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void goTo(const std::string& folder, const std::string& cameFrom = {});
    void goToTyped();
    void goIntoSelected();
    void tell(const QString& message);

    QLineEdit* m_path;
    QPushButton* m_up;
    QPushButton* m_home;
    QListWidget* m_list;
    QLabel* m_message;
    std::string m_folder;
    std::string m_chosen;
    bool m_textOnly = false;
};

} // namespace marquelo
