#pragma once
// Where the settings live between runs: one INI file, <config home>/Quorvant/<executable's base name>.conf
// (~/.config/Quorvant/marquelo.conf), group "Configuration". Only that file is read: no organization-
// or system-wide file stands in for a missing value. Loading never fails; saving writes every key of
// the table and reports a failure once.

#include "core/UserInterface.h"
#include "core/settings/AppConfig.h"

#include <QString>

#include <memory>
#include <string>

class QSettings;

namespace marquelo {

// What the defaults that are not fixed are derived from: the program's folder, the user's pictures
// folder and the editors found on PATH. current() reads them from the running process.
struct SettingsEnvironment {
    std::string programDirectory;  // default of InstallationPath when the stored one is empty
    std::string picturesDirectory; // the output folders default to <this>/Marquelo
    std::string imageEditor;       // default of ImageEditApp
    std::string htmlEditor;        // default of HtmlEditor

    // The running program's folder, the pictures folder (home when there is none) and the first
    // editors of the usual lists found on PATH (gimp and xdg-open when none is).
    static SettingsEnvironment current();
};

class SettingsStore {
public:
    // The program's own store, programStoreFile().
    SettingsStore();
    // A store in the given file (INI format); tests and tools use it.
    explicit SettingsStore(const QString& fileName);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Fills every field of config from the store in table order. A missing value, or one of the wrong
    // type, takes the table's default (derived defaults from env); never fails, never writes.
    void load(AppConfig& config, const SettingsEnvironment& env) const;

    // Writes every key but PageInfo in table order, then ConfigIsValid = 1, and flushes. Every write is
    // attempted; if anything failed, ui shows "Failed to store configuration" once. Returns success.
    bool save(const AppConfig& config, UserInterface& ui);

    // ConfigIsValid as it is in the store now (re-read from disk, not remembered); 0 when missing.
    std::int64_t readConfigIsValid() const;

    // The file behind the store (for messages and tests).
    QString fileName() const;

    // <config home>/Quorvant/<executable's base name>.conf, where the program keeps its settings.
    static QString programStoreFile();
    // The same for the program at `executable`, when Qt's application object does not exist yet.
    static QString storeFileFor(const QString& executable);

private:
    std::unique_ptr<QSettings> open() const;

    QString m_fileName;
};

} // namespace marquelo
