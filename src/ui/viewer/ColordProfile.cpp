#include "ui/viewer/ColordProfile.h"

#include "core/settings/Logging.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/WorkPools.h"
#include "media/RegularFile.h"
#include "ui/viewer/DisplayProfile.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMetaObject>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace marquelo {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ColorManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/ColorManager");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.ColorManager.Device");
const QString kProfileInterface = QStringLiteral("org.freedesktop.ColorManager.Profile");

// Real display profiles are a few kB to a few MB.
constexpr std::size_t kMaxProfileBytes = 64u << 20;

class Colord {
public:
    Colord(QDBusConnection bus, std::chrono::milliseconds timeout) : m_bus(std::move(bus)), m_timeout(timeout) {}

    // The reply's first argument; invalid when colord failed or did not answer in time.
    QVariant call(const QString& path, const QString& interface, const QString& method, const QVariantList& args)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
        message.setArguments(args);
        const QDBusMessage reply = m_bus.call(message, QDBus::Block, int(m_timeout.count()));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            // NotFound is colord's ordinary answer for an output it does not manage.
            if (reply.errorName() != QLatin1String("org.freedesktop.ColorManager.NotFound"))
                qCWarning(lcViewer) << "colord:" << method << "on" << path << "failed:" << reply.errorName()
                                    << reply.errorMessage();
            return {};
        }
        return reply.arguments().constFirst();
    }

    QVariant property(const QString& path, const QString& interface, const QString& name)
    {
        const QVariant value =
            call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name});
        return value.canConvert<QDBusVariant>() ? qvariant_cast<QDBusVariant>(value).variant() : value;
    }

private:
    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeout;
};

QList<QDBusObjectPath> objectPaths(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QList<QDBusObjectPath>>(qvariant_cast<QDBusArgument>(value));
    return qvariant_cast<QList<QDBusObjectPath>>(value);
}

QString deviceOf(Colord& colord, const QString& outputName)
{
    const QVariant found = colord.call(kManagerPath, kService, QStringLiteral("FindDeviceByProperty"),
                                       {QStringLiteral("XRANDR_name"), outputName});
    if (found.canConvert<QDBusObjectPath>())
        return qvariant_cast<QDBusObjectPath>(found).path();
    // A colour manager that registers outputs without that property still names them in the device id
    // ("xrandr-DP-1", "kde-DP-1").
    const QVariant displays =
        colord.call(kManagerPath, kService, QStringLiteral("GetDevicesByKind"), {QStringLiteral("display")});
    for (const QDBusObjectPath& device : objectPaths(displays)) {
        const QString id = colord.property(device.path(), kDeviceInterface, QStringLiteral("DeviceId")).toString();
        if (id == outputName || id.endsWith(QLatin1Char('-') + outputName))
            return device.path();
    }
    return {};
}

} // namespace

QByteArray colordProfile(const QString& outputName, std::chrono::milliseconds timeout)
{
    if (outputName.isEmpty())
        return {};
    static std::atomic<int> connections{0};
    const QString name = QStringLiteral("marquelo-colord-%1").arg(connections.fetch_add(1));
    const QByteArray address = qgetenv("MARQUELO_COLORD_BUS");
    QByteArray profile;
    {
        QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, name)
                                                : QDBusConnection::connectToBus(QString::fromUtf8(address), name);
        if (!bus.isConnected()) {
            qCWarning(lcViewer) << "colord: no bus:" << bus.lastError().message();
        } else {
            Colord colord(bus, timeout);
            const QString device = deviceOf(colord, outputName);
            const QList<QDBusObjectPath> profiles =
                device.isEmpty() ? QList<QDBusObjectPath>()
                                 : objectPaths(colord.property(device, kDeviceInterface, QStringLiteral("Profiles")));
            const QString file =
                profiles.isEmpty()
                    ? QString()
                    : colord.property(profiles.constFirst().path(), kProfileInterface, QStringLiteral("Filename"))
                          .toString();
            if (!file.isEmpty()) {
                const media::FileBytes bytes = media::readRegularFile(file.toStdString(), kMaxProfileBytes);
                if (bytes.ok)
                    profile =
                        QByteArray(reinterpret_cast<const char*>(bytes.bytes.data()), qsizetype(bytes.bytes.size()));
                else
                    qCWarning(lcViewer) << "colord: cannot read the profile of" << outputName << file
                                        << QString::fromStdString(bytes.error);
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return profile;
}

struct DisplayProfileFollower::Shared {
    struct Answer {
        quint64 generation = 0;
        QString outputName;
        QByteArray profile;
    };
    std::mutex mutex;
    std::condition_variable ended;           // a lookup returned
    DisplayProfileFollower* owner = nullptr; // null once the follower is gone; guarded by mutex
    std::vector<Answer> answers;             // guarded by mutex
    int running = 0;                         // lookups on the loads pool; guarded by mutex
};

DisplayProfileFollower::DisplayProfileFollower(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

DisplayProfileFollower::~DisplayProfileFollower()
{
    // A bus that does not answer cannot hold the program's end: each call gives up after its timeout,
    // and whatever outlasts a few of them is left to the loads pool, which the end waits for no longer.
    std::unique_lock lock(m_shared->mutex);
    m_shared->owner = nullptr;
    if (!m_shared->ended.wait_for(lock, 5 * kColordTimeout, [this] { return m_shared->running == 0; }))
        qCWarning(lcViewer) << "colord: a profile lookup did not end in time; left behind";
}

bool DisplayProfileFollower::busy() const
{
    return m_pending > 0;
}

void DisplayProfileFollower::follow(const QString& outputName)
{
    const quint64 generation = ++m_generation;
    ++m_pending;
    {
        const std::lock_guard lock(m_shared->mutex);
        ++m_shared->running;
    }
    const bool started = workpools::tryRun(workpools::loads(), [shared = m_shared, generation, outputName] {
        const QByteArray profile = colordProfile(outputName);
        const std::lock_guard lock(shared->mutex);
        if (DisplayProfileFollower* owner = shared->owner) {
            shared->answers.push_back({generation, outputName, profile});
            QMetaObject::invokeMethod(owner, "takeAnswers", Qt::QueuedConnection);
        }
        --shared->running;
        shared->ended.notify_all();
    });
    if (!started) {
        {
            const std::lock_guard lock(m_shared->mutex);
            --m_shared->running;
        }
        // No thread: the X root and sRGB are still known without the bus.
        qCWarning(lcViewer) << "colord: no thread to ask for the profile of" << outputName;
        apply(generation, outputName, QByteArray());
    }
}

void DisplayProfileFollower::takeAnswers()
{
    std::vector<Shared::Answer> answers;
    {
        const std::lock_guard lock(m_shared->mutex);
        answers.swap(m_shared->answers);
    }
    for (const Shared::Answer& answer : answers)
        apply(answer.generation, answer.outputName, answer.profile);
}

void DisplayProfileFollower::apply(quint64 generation, const QString& outputName, const QByteArray& colord)
{
    --m_pending;
    if (generation != m_generation)
        return; // the window has moved on since
    const QByteArray before = PictureColour::displayProfile();
    PictureColour::setDisplayProfile(colord);
    if (colord.isEmpty() || PictureColour::displayProfile().isEmpty()) {
        if (!colord.isEmpty())
            qCWarning(lcViewer) << "colord: the profile of" << outputName << "cannot be used; the X screen's instead";
        PictureColour::setDisplayProfile(readDisplayProfile());
    }
    if (PictureColour::displayProfile() != before)
        Q_EMIT profileChanged();
}

} // namespace marquelo
