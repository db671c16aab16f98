#include "core/settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <limits>
#include <optional>

namespace marquelo {

namespace {

const QString kGroup = QStringLiteral("Configuration");

QString qstr(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

std::string firstOnPath(std::initializer_list<const char*> names, const char* fallback)
{
    for (const char* name : names) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty())
            return name;
    }
    return fallback;
}

// A stored string. Anything else (a number written by hand, a list the INI reader split at commas,
// a binary value) is of the wrong type and reads as missing.
std::optional<std::string> readText(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString().toStdString();
    return std::nullopt;
}

// A stored number as a 32-bit register would hold it. The INI file keeps numbers as text, so text
// that is a whole decimal number counts; anything else, or a number no 32-bit value can hold, is
// of the wrong type.
std::optional<std::int64_t> readNumber(const QVariant& v)
{
    bool ok = false;
    qlonglong n = 0;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort: n = v.toLongLong(&ok); break;
    case QMetaType::ULongLong: {
        qulonglong u = v.toULongLong(&ok);
        ok = ok && u <= std::numeric_limits<std::uint32_t>::max();
        n = qlonglong(u);
        break;
    }
    case QMetaType::QString: n = v.toString().trimmed().toLongLong(&ok, 10); break;
    default: return std::nullopt;
    }
    if (!ok || n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return n;
}

std::string derivedDefault(const SettingDef& def, const AppConfig& config, const SettingsEnvironment& env)
{
    (void)config;
    switch (def.rule) {
    case DefaultRule::Fixed: return std::string(def.textDefault);
    case DefaultRule::ProgramDirectory: return env.programDirectory;
    case DefaultRule::OutputUnderPictures: return env.picturesDirectory + "/Marquelo";
    case DefaultRule::FavoritesUnderPictures: return env.picturesDirectory + "/Marquelo/favorites";
    case DefaultRule::FirstImageEditor: return env.imageEditor.empty() ? std::string(def.textDefault) : env.imageEditor;
    case DefaultRule::FirstHtmlEditor: return env.htmlEditor.empty() ? std::string(def.textDefault) : env.htmlEditor;
    }
    return std::string(def.textDefault);
}

} // namespace

SettingsEnvironment SettingsEnvironment::current()
{
    SettingsEnvironment env;
    env.programDirectory = QCoreApplication::applicationDirPath().toStdString();
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty())
        pictures = QDir::homePath();
    env.picturesDirectory = QDir::cleanPath(pictures).toStdString();
    env.imageEditor = firstOnPath({"gimp", "krita", "pinta", "kolourpaint"}, "gimp");
    env.htmlEditor = firstOnPath({"gnome-text-editor", "gedit", "kate", "mousepad", "xed", "pluma"}, "xdg-open");
    return env;
}

QString SettingsStore::programStoreFile()
{
    return storeFileFor(QCoreApplication::applicationFilePath());
}

QString SettingsStore::storeFileFor(const QString& executable)
{
    QString app = QFileInfo(executable).completeBaseName();
    if (app.isEmpty())
        app = QStringLiteral("marquelo");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Quorvant/") +
           app + QStringLiteral(".conf");
}

SettingsStore::SettingsStore() : m_fileName(programStoreFile()) {}

SettingsStore::SettingsStore(const QString& fileName) : m_fileName(fileName) {}

SettingsStore::~SettingsStore() = default;

std::unique_ptr<QSettings> SettingsStore::open() const
{
    // Opened by its path: a store named by organization and application would also read the
    // organization's file (~/.config/Quorvant.conf) and the system's (/etc/xdg/...) as fallbacks, and a
    // ConfigIsValid found there would skip the first run of a user who never accepted the terms.
    auto s = std::make_unique<QSettings>(m_fileName, QSettings::IniFormat);
    s->setFallbacksEnabled(false);
    s->beginGroup(kGroup);
    return s;
}

QString SettingsStore::fileName() const
{
    return m_fileName;
}

void SettingsStore::load(AppConfig& config, const SettingsEnvironment& env) const
{
    auto s = open();
    for (const SettingDef& def : kSettings) {
        const QVariant v = s->value(qstr(def.key));
        std::visit(
            [&](auto member) {
                using Field = std::remove_cvref_t<decltype(config.*member)>;
                if constexpr (std::is_same_v<Field, std::string>) {
                    auto text = v.isValid() ? readText(v) : std::nullopt;
                    config.*member = text ? *text : derivedDefault(def, config, env);
                    // An empty installation path means "wherever the program is now".
                    if (def.rule == DefaultRule::ProgramDirectory && (config.*member).empty())
                        config.*member = env.programDirectory;
                } else {
                    std::int64_t n = def.numberDefault;
                    if (v.isValid()) {
                        if (auto stored = readNumber(v))
                            n = *stored;
                    }
                    setStoredNumber(config, def, n);
                }
            },
            def.field);
    }
}

bool SettingsStore::save(const AppConfig& config, UserInterface& ui)
{
    auto s = open();
    bool ok = s->isWritable();
    for (const SettingDef& def : kSettings) {
        if (!def.saved)
            continue;
        std::visit(
            [&](auto member) {
                using Field = std::remove_cvref_t<decltype(config.*member)>;
                const Field& value = config.*member;
                if constexpr (std::is_same_v<Field, std::string>)
                    s->setValue(qstr(def.key), QString::fromStdString(value));
                else if constexpr (std::is_same_v<Field, bool>)
                    s->setValue(qstr(def.key), value ? 1 : 0);
                else if constexpr (std::is_same_v<Field, std::uint8_t>)
                    s->setValue(qstr(def.key), int(value));
                else if constexpr (std::is_same_v<Field, std::int32_t>)
                    s->setValue(qstr(def.key), int(value));
                else
                    s->setValue(qstr(def.key), uint(value));
            },
            def.field);
    }
    s->setValue(qstr(kConfigIsValidKey), 1);
    // QSettings writes the whole file at once through a temporary file, so a failure here leaves the
    // previous file intact.
    s->sync();
    ok = ok && s->status() == QSettings::NoError;
    if (!ok)
        ui.message("Failed to store configuration");
    return ok;
}

std::int64_t SettingsStore::readConfigIsValid() const
{
    auto s = open();
    // Pick up what happened to the file since this process last read it (deleted, rewritten).
    s->sync();
    const QVariant v = s->value(qstr(kConfigIsValidKey));
    if (!v.isValid())
        return 0;
    return readNumber(v).value_or(0);
}

} // namespace marquelo
