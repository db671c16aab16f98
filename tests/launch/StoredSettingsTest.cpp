// The front reads the stored settings without Qt: it must read every number as the settings store does,
// or the early window would start in another state than the viewer window.
#include "launch/StoredSettings.h"

#include "core/settings/SettingsStore.h"
#include "support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <type_traits>
#include <variant>

namespace marquelo {
namespace {

std::string fileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

TEST(StoredSettings, NumbersAreReadAsTheSettingsStoreReadsThem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("marquelo.conf"));
    // Every number away from its default, some past what 31 bits hold.
    AppConfig stored;
    std::int64_t n = 3;
    for (const SettingDef& def : kSettings) {
        setStoredNumber(stored, def, def.numberDefault == 0 ? n : 0);
        n = (n * 7 + 0x0f0f0f0f) % 0x100000000;
    }
    SettingsStore store(path);
    test::ScriptedUserInterface ui;
    ASSERT_TRUE(store.save(stored, ui));
    AppConfig loaded;
    store.load(loaded, SettingsEnvironment());

    const std::optional<AppConfig> front = storedNumbers(fileText(path));
    ASSERT_TRUE(front.has_value());
    for (const SettingDef& def : kSettings) {
        std::visit(
            [&](auto member) {
                if constexpr (!std::is_same_v<std::remove_cvref_t<decltype(loaded.*member)>, std::string>) {
                    EXPECT_EQ((*front).*member, loaded.*member) << def.key;
                }
            },
            def.field);
    }
}

TEST(StoredSettings, ValuesTheStoreCannotReadKeepTheirDefaults)
{
    const AppConfig defaults;
    const std::optional<AppConfig> config = storedNumbers("; a comment\n"
                                                          "[General]\nStartMaximized=0\n"
                                                          "[Configuration]\n"
                                                          "ConfigIsValid=1\n"
                                                          "FullScreenTitleBar = 0 \r\n"
                                                          "StartMaximized=yes\n"
                                                          "BackgroundColor=4294967296\n"
                                                          "Appearance=-1\n"
                                                          "CacheDepth=@Variant(\\0\\0\\0\\x2)\n");
    ASSERT_TRUE(config.has_value());
    EXPECT_FALSE(config->FullScreenTitleBar);
    // Not a number, and a number that only belongs to another group.
    EXPECT_EQ(config->StartMaximized, defaults.StartMaximized);
    // Beyond 32 bits.
    EXPECT_EQ(config->BackgroundColor, defaults.BackgroundColor);
    // As a register holds it: the low byte.
    EXPECT_EQ(config->Appearance, 0xff);
    EXPECT_EQ(config->CacheDepth, defaults.CacheDepth);
}

TEST(StoredSettings, NothingUntilARunStoredTheSettings)
{
    EXPECT_FALSE(storedNumbers("").has_value());
    EXPECT_FALSE(storedNumbers("[Configuration]\nStartMaximized=0\n").has_value());
    EXPECT_FALSE(storedNumbers("[Configuration]\nConfigIsValid=0\n").has_value());
    EXPECT_FALSE(storedNumbers("[Other]\nConfigIsValid=1\n").has_value());
    EXPECT_TRUE(storedNumbers("[Configuration]\nConfigIsValid=13\n").has_value());
}

TEST(StoredSettings, TheFileIsWhereQtPutsIt)
{
    std::map<std::string, std::string> vars{{"HOME", "/home/u"}};
    const auto env = [&vars](const char* name) { return vars.count(name) ? vars[name] : std::string(); };
    EXPECT_EQ(storedSettingsFile("/usr/bin/marquelo", env), "/home/u/.config/Quorvant/marquelo.conf");
    // The name without its last suffix, as QFileInfo::completeBaseName gives it.
    EXPECT_EQ(storedSettingsFile("/opt/m/marquelo.bin", env), "/home/u/.config/Quorvant/marquelo.conf");
    EXPECT_EQ(storedSettingsFile("/opt/m/my.viewer.x", env), "/home/u/.config/Quorvant/my.viewer.conf");
    EXPECT_EQ(storedSettingsFile("/opt/m/.hidden", env), "/home/u/.config/Quorvant/marquelo.conf");
    vars["XDG_CONFIG_HOME"] = "/cfg";
    EXPECT_EQ(storedSettingsFile("/usr/bin/marquelo", env), "/cfg/Quorvant/marquelo.conf");
    // A relative XDG_CONFIG_HOME is not to be used.
    vars["XDG_CONFIG_HOME"] = "cfg";
    EXPECT_EQ(storedSettingsFile("/usr/bin/marquelo", env), "/home/u/.config/Quorvant/marquelo.conf");
}

} // namespace
} // namespace marquelo
