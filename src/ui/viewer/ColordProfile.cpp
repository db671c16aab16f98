#include "ui/viewer/ColordProfile.h"

#include "core/settings/Logging.h"
#include "core/viewer/LoadThreads.h"
#include "core/viewer/PictureColour.h"
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

#include <atomic>
#include <mutex>
#include <thread>
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
    DisplayProfileFollower* owner = nullptr; // null once the follower is gone; guarded by mutex
    std::vector<Answer> answers;             // guarded by mutex
    std::vector<std::thread> threads;
    std::vector<std::shared_ptr<std::atomic<bool>>> done;
};

DisplayProfileFollower::DisplayProfileFollower(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

DisplayProfileFollower::~DisplayProfileFollower()
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->owner = nullptr;
    }
    // A bus that does not answer cannot hold the program's end: each call gives up after its timeout,
    // and whatever outlasts a few of them is kept running until the program leaves without tearing down.
    const auto deadline = std::chrono::steady_clock::now() + 5 * kColordTimeout;
    for (std::size_t i = 0; i < m_shared->threads.size(); ++i) {
        while (!m_shared->done[i]->load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (m_shared->done[i]->load(std::memory_order_acquire))
            m_shared->threads[i].join();
        else
            loadthreads::keep(std::move(m_shared->threads[i]), m_shared->done[i]);
    }
}

bool DisplayProfileFollower::busy() const
{
    return m_pending > 0;
}

void DisplayProfileFollower::follow(const QString& outputName)
{
    const quint64 generation = ++m_generation;
    // Threads of lookups that have ended are joined here, so they do not pile up as the window moves.
    for (std::size_t i = 0; i < m_shared->threads.size();) {
        if (m_shared->done[i]->load(std::memory_order_acquire)) {
            m_shared->threads[i].join();
            m_shared->threads.erase(m_shared->threads.begin() + std::ptrdiff_t(i));
            m_shared->done.erase(m_shared->done.begin() + std::ptrdiff_t(i));
        } else {
            ++i;
        }
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    ++m_pending;
    try {
        m_shared->threads.emplace_back([shared = m_shared, done, generation, outputName] {
            const QByteArray profile = colordProfile(outputName);
            {
                const std::lock_guard lock(shared->mutex);
                if (DisplayProfileFollower* owner = shared->owner) {
                    shared->answers.push_back({generation, outputName, profile});
                    QMetaObject::invokeMethod(owner, "takeAnswers", Qt::QueuedConnection);
                }
            }
            done->store(true, std::memory_order_release);
        });
    } catch (...) {
        // No thread: the X root and sRGB are still known without the bus.
        qCWarning(lcViewer) << "colord: no thread to ask for the profile of" << outputName;
        apply(generation, outputName, QByteArray());
        return;
    }
    m_shared->done.push_back(std::move(done));
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
