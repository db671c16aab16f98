// The settings store: defaults, round trips, stored values of the wrong kind, and failed writes.
#include "core/settings/SettingsStore.h"
#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <variant>

namespace marquelo {
namespace {

SettingsEnvironment testEnvironment()
{
    return {"/opt/marquelo/bin", "/home/ann/Pictures", "pinta", "kate"};
}

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Quorvant/marquelo.conf"));

    // Writes the store file by hand, as a user or an older version might have left it.
    void writeRaw(const QByteArray& lines)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Configuration]\n" + lines);
    }
    QVariant raw(const char* key)
    {
        QSettings s(file, QSettings::IniFormat);
        return s.value(QStringLiteral("Configuration/") + QLatin1String(key));
    }
    AppConfig loaded(const SettingsEnvironment& env = testEnvironment())
    {
        AppConfig config;
        SettingsStore(file).load(config, env);
        return config;
    }
};

TEST_F(SettingsStoreTest, EmptyStoreGivesTableDefaultsAndPlatformDefaults)
{
    const AppConfig c = loaded();
    EXPECT_EQ(c.InstallationPath, "/opt/marquelo/bin");
    EXPECT_EQ(c.BaseOutputDirectory, "/home/ann/Pictures/Marquelo");
    EXPECT_EQ(c.CurOutputDirectory, "/home/ann/Pictures/Marquelo");
    EXPECT_EQ(c.BestOfDirectory, "/home/ann/Pictures/Marquelo/favorites");
    EXPECT_EQ(c.ImageEditApp, "pinta");
    EXPECT_EQ(c.HtmlEditor, "kate");
    EXPECT_EQ(c.ImageCompressApp, "marquelo-convert");
    EXPECT_EQ(c.ImageEditArg, "\"%1/%2\"");
    EXPECT_EQ(c.OutputFilename, "index.html");
    EXPECT_EQ(c.EditFileSuffix, "_edit");
    EXPECT_EQ(c.OtherExtensions, "*.mpg;*.mpeg;*.mov;*.wmv;*.avi;*.gif");
    EXPECT_EQ(c.TemplateEnd, "</i></font></p>\r\n</body>\r\n</html>");
    EXPECT_EQ(c.BackgroundColor, 12898516u);
    EXPECT_EQ(c.PageTextColor, 16776960u);
    EXPECT_EQ(c.PageLinkColor, 8947967u);
    EXPECT_EQ(c.SizeLarge, 960);
    EXPECT_EQ(c.CacheDepth, 1);
    EXPECT_TRUE(c.CreateSubdirectory);
    EXPECT_FALSE(c.PageInfo);
    EXPECT_FALSE(QFile::exists(file)) << "loading must never write";
    EXPECT_EQ(SettingsStore(file).readConfigIsValid(), 0);
}

TEST_F(SettingsStoreTest, EditorsFallBackWhenNoneIsInstalled)
{
    const AppConfig c = loaded({"/p", "/pics", "", ""});
    EXPECT_EQ(c.ImageEditApp, "gimp");
    EXPECT_EQ(c.HtmlEditor, "xdg-open");
}

// Every key gets a value different from its default, the record goes out and comes back unchanged.
TEST_F(SettingsStoreTest, SaveThenLoadGivesTheSameRecord)
{
    AppConfig out;
    int n = 0;
    for (const SettingDef& def : kSettings) {
        ++n;
        std::visit(
            [&](auto member) {
                using Field = std::remove_cvref_t<decltype(out.*member)>;
                if constexpr (std::is_same_v<Field, std::string>)
                    out.*member = "v" + std::to_string(n) + " ä, \"q\" %1/%2\r\n;x";
                else if constexpr (std::is_same_v<Field, bool>)
                    out.*member = !(out.*member);
                else
                    out.*member = Field(n + 200);
            },
            def.field);
    }
    out.PageInfo = false; // never saved, so it must come back as its default
    test::ScriptedUserInterface ui;
    ASSERT_TRUE(SettingsStore(file).save(out, ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(loaded(), out);
    EXPECT_EQ(SettingsStore(file).readConfigIsValid(), 1);
    EXPECT_FALSE(raw("PageInfo").isValid());
}

TEST_F(SettingsStoreTest, PageInfoSetByHandIsHonouredAndNeverRewritten)
{
    writeRaw("PageInfo=1\n");
    AppConfig c = loaded();
    EXPECT_TRUE(c.PageInfo);
    c.PageInfo = false;
    test::ScriptedUserInterface ui;
    SettingsStore(file).save(c, ui);
    EXPECT_EQ(raw("PageInfo").toString(), QStringLiteral("1"));
}

struct RawCase {
    const char* line;
    const char* key;
    std::int64_t expected; // numbers, flags (0/1) and colours
};

class RawNumberTest : public SettingsStoreTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(RawNumberTest, ReadsAsTheRuleSays)
{
    writeRaw(QByteArray(GetParam().line) + "\n");
    const AppConfig c = loaded();
    const SettingDef* def = findSetting(GetParam().key);
    ASSERT_NE(def, nullptr);
    std::int64_t got = std::visit(
        [&](auto member) -> std::int64_t {
            using Field = std::remove_cvref_t<decltype(c.*member)>;
            if constexpr (std::is_same_v<Field, std::string>)
                return -999;
            else
                return std::int64_t(c.*member);
        },
        def->field);
    EXPECT_EQ(got, GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RawNumberTest,
    ::testing::Values(RawCase{"Sorting=258", "Sorting", 2},               // only the low byte is held
                      RawCase{"Sorting=7", "Sorting", 7},                 // no range check at load
                      RawCase{"CurrentCfgTab=-1", "CurrentCfgTab", 255},  // low byte of -1
                      RawCase{"CacheDepth=99", "CacheDepth", 99},         // consumers clamp, not the store
                      RawCase{"CacheDepth=4294967295", "CacheDepth", -1}, // a 32-bit register
                      RawCase{"CacheDepth=99999999999", "CacheDepth", 1}, // no 32-bit value: missing
                      RawCase{"CacheDepth=four", "CacheDepth", 1},        // text: wrong type, missing
                      RawCase{"CacheDepth=\"a, b\"", "CacheDepth", 1},    // quoted text
                      RawCase{"CacheDepth=1, 2", "CacheDepth", 1},        // a list
                      RawCase{"SizeSmall=", "SizeSmall", 256},            // empty
                      RawCase{"ShowToolbar=0", "ShowToolbar", 0},
                      RawCase{"ConfirmDelete=5", "ConfirmDelete", 1},        // any non-zero number is on
                      RawCase{"ShowImageNumber=true", "ShowImageNumber", 0}, // not a number: default off
                      RawCase{"BackgroundColor=255", "BackgroundColor", 255},
                      RawCase{"PageBgColor=@ByteArray(\\x1)", "PageBgColor", 0}));

TEST_F(SettingsStoreTest, TextOfTheWrongTypeReadsAsMissing)
{
    writeRaw("OutputFilename=@ByteArray(page.html)\nEditFileSuffix=_a, _b\nImageTag=\"a, b\"\nPageInfoCountry=42\n");
    const AppConfig c = loaded();
    EXPECT_EQ(c.OutputFilename, "index.html");
    EXPECT_EQ(c.EditFileSuffix, "_edit");
    EXPECT_EQ(c.ImageTag, "a, b");      // quoted: one string
    EXPECT_EQ(c.PageInfoCountry, "42"); // the INI file keeps every value as text
}

TEST_F(SettingsStoreTest, StoredOutputFolderSurvivesAMovedProgram)
{
    writeRaw("InstallationPath=/old/place\nBaseOutputDirectory=/data/web\n");
    const AppConfig c = loaded({"/new/place", "/pics", "gimp", "gedit"});
    EXPECT_EQ(c.InstallationPath, "/old/place"); // a stored path is used even if it is gone
    EXPECT_EQ(c.BaseOutputDirectory, "/data/web");
    EXPECT_EQ(c.CurOutputDirectory, "/pics/Marquelo"); // only missing values take the derived default
}

TEST_F(SettingsStoreTest, EmptyInstallationPathIsTheProgramFolderAtEveryStart)
{
    writeRaw("InstallationPath=\n");
    EXPECT_EQ(loaded({"/usr/bin", "/pics", "", ""}).InstallationPath, "/usr/bin");
}

TEST_F(SettingsStoreTest, FailedSaveIsReportedOnceAndKeepsTheRecord)
{
    // A file where the store's folder should be: nothing can be written below it.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore store(dir.filePath(QStringLiteral("blocker/marquelo.conf")));
    AppConfig c;
    c.OutputFilename = "mine.html";
    const AppConfig before = c;
    test::ScriptedUserInterface ui;
    EXPECT_FALSE(store.save(c, ui));
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Failed to store configuration"});
    EXPECT_EQ(c, before);
    EXPECT_EQ(store.readConfigIsValid(), 0);
}

TEST_F(SettingsStoreTest, ValidityIsReadFromTheFileNotRemembered)
{
    SettingsStore store(file);
    test::ScriptedUserInterface ui;
    ASSERT_TRUE(store.save(AppConfig{}, ui));
    EXPECT_EQ(store.readConfigIsValid(), 1);
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_EQ(store.readConfigIsValid(), 0);
    writeRaw("ConfigIsValid=0\n");
    EXPECT_EQ(store.readConfigIsValid(), 0);
    writeRaw("ConfigIsValid=13\n");
    EXPECT_EQ(store.readConfigIsValid(), 13);
}

TEST_F(SettingsStoreTest, ProgramStoreLivesUnderQuorvantInTheConfigHome)
{
    // The test main puts Qt's standard paths into test mode, so this is never the user's file.
    const QString name = SettingsStore().fileName();
    EXPECT_TRUE(name.endsWith(QStringLiteral("/Quorvant/test_core_settings.conf"))) << name.toStdString();
    EXPECT_FALSE(name.startsWith(QDir::homePath() + QStringLiteral("/.config/"))) << name.toStdString();
}

TEST_F(SettingsStoreTest, OnlyTheProgramsOwnFileIsRead)
{
    // Files a QSettings of organization "Quorvant" would fall back to: the organization's file in the
    // user's configuration folder, and the application's and organization's files of the system.
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, dir.filePath(QStringLiteral("system")));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, dir.filePath(QStringLiteral("system")));
    const QString stray[] = {home + QStringLiteral("/Quorvant.conf"),
                             dir.filePath(QStringLiteral("system/Quorvant.conf")),
                             dir.filePath(QStringLiteral("system/Quorvant/test_core_settings.conf"))};
    for (const QString& path : stray) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write("[Configuration]\nConfigIsValid=1\nOutputFilename=elsewhere.html\nCacheDepth=4\n");
    }
    SettingsStore store;
    QFile::remove(store.fileName());
    EXPECT_EQ(store.readConfigIsValid(), 0) << "a file of another scope must not skip the first run";
    AppConfig config;
    store.load(config, testEnvironment());
    EXPECT_EQ(config.OutputFilename, "index.html");
    EXPECT_EQ(config.CacheDepth, 1);
    for (const QString& path : stray)
        QFile::remove(path);
}

} // namespace
} // namespace marquelo
