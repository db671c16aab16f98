#pragma once
// The real preferences dialog over a settings record whose paths exist in a temporary folder, with
// choosers and the update check replaced by recorders.

#include "core/settings/AppConfig.h"
#include "support/ScriptedUserInterface.h"
#include "ui/prefs/PreferencesDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace marquelo::test {

class PreferencesDialogFixture : public ::testing::Test {
public:
    QTemporaryDir tmp;
    AppConfig config;
    ScriptedUserInterface ui;
    PreferencesServices services;
    std::unique_ptr<PreferencesDialog> dlg;

    struct Browse {
        QString title;
        QString field;
        bool folder;
    };
    std::vector<Browse> browsed;
    std::vector<std::string> updateChecks;
    ColourRef colourToPick = 0;

    PreferencesDialogFixture()
    {
        QDir().mkpath(tmp.filePath(QStringLiteral("out")));
        config.BaseOutputDirectory = path("out");
        config.CurOutputDirectory = path("out");
        config.OutputFilename = "index.html";
        config.BestOfDirectory = "";
        config.InstallationPath = "";
        config.EditFileSuffix = "_edit";
        config.ImageEditApp = "gimp";
        config.ImageTag = R"(<img src="%4" height=%6 width=%7 alt="">)";
        config.TemplateEnd = "</i></font></p>\r\n</body>\r\n</html>";

        services.browseForApplication = [this](QWidget*, const QString& title, QLineEdit* edit) {
            browsed.push_back({title, edit->objectName(), false});
            edit->setText(QStringLiteral("/chosen/program"));
            return true;
        };
        services.browseForFolder = [this](QWidget*, const QString& title, QLineEdit* edit) {
            browsed.push_back({title, edit->objectName(), true});
            edit->setText(QStringLiteral("/chosen/folder"));
            return true;
        };
        services.pickColour = [this](QWidget*, ColourRef& colour) {
            colour = colourToPick;
            return true;
        };
        services.checkForUpdates = [this](const std::string& installationPath) {
            updateChecks.push_back(installationPath);
        };
    }

    std::string path(const char* name) const { return tmp.filePath(QString::fromLatin1(name)).toStdString(); }

    PreferencesDialog& open()
    {
        dlg = std::make_unique<PreferencesDialog>(config, ui, services);
        dlg->show();
        return *dlg;
    }

    template <typename W = QLineEdit> W* control(const char* key) const
    {
        W* w = dlg->findChild<W*>(QString::fromLatin1(key));
        EXPECT_NE(w, nullptr) << key;
        return w;
    }
    void setText(const char* key, const std::string& text) { control(key)->setText(QString::fromStdString(text)); }
    void setChecked(const char* key, bool on) { control<QCheckBox>(key)->setChecked(on); }

    // Object name of the control that has (or will have, once the window is active) the keyboard focus.
    QString focused() const
    {
        QWidget* w = dlg->focusWidget();
        return w ? w->objectName() : QString();
    }
};

} // namespace marquelo::test
