#pragma once
// The main window: the current photo fitted on the background colour, the toolbar, the info line and the
// file name floating over the top edge, and the caption box used while a photo is added to the page.
// It routes every key of the key table and every toolbar button to a command; navigation, zoom and
// file commands are its own, the other rooms register handlers with setCommandHandler().

#include "core/Command.h"
#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/ViewGeometry.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QLabel;
class QLineEdit;

namespace marquelo {

class ViewerWindow : public QWidget {
    Q_OBJECT
public:
    ViewerWindow(AppConfig& config, ImageList& images, UserInterface& ui, QWidget* parent = nullptr);
    ~ViewerWindow() override;

    // Loads, lays out and labels the current entry: every navigation and file command ends here.
    void showCurrent();

    // Handlers of the commands other rooms own (edit, add, preferences, ...). Unset commands do nothing.
    void setCommandHandler(Command command, std::function<void()> handler);
    // Runs a command as its key or button would.
    void runCommand(Command command);

    // Caption input of the add flow: the box covers the toolbar and takes every key; the key table is off.
    void startCaptionInput();
    void endCaptionInput();
    bool captionActive() const { return m_captionActive; }
    QString captionText() const;
    // Called on Enter (with the Shift state read at that moment) and Escape while the caption box is open.
    void setCaptionHandlers(std::function<void(bool shift)> onEnter, std::function<void()> onEscape);

    // After the preferences dialog: apply what changed (cache, colours, title bar, toolbar, tool buttons).
    void applySettings();
    // Enables the tool buttons by their settings.
    void updateToolButtons();

    AppConfig& config() { return m_config; }
    ImageList& images() { return m_images; }
    ViewGeometry& geometry() { return m_geometry; }
    UserInterface& userInterface() { return m_ui; }

Q_SIGNALS:
    // Emitted when the user has confirmed leaving (exit clean-up done); start-up ends the program then.
    void exitRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    AppConfig& m_config;
    ImageList& m_images;
    UserInterface& m_ui;
    ViewGeometry m_geometry;
    std::array<std::function<void()>, kCommandCount> m_handlers;
    std::function<void(bool)> m_captionEnter;
    std::function<void()> m_captionEscape;
    bool m_captionActive = false;
    QLabel* m_info = nullptr;
    QLabel* m_fileName = nullptr;
    QLineEdit* m_caption = nullptr;
};

} // namespace marquelo
