// The display profile as a colour manager publishes it on D-Bus: a private bus with a colord of the
// test's own.
#include "ui/viewer/ColordProfile.h"

#include "ScreensProcess.h"
#include "ViewerFixture.h"

#include "core/viewer/PictureColour.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest/QTest>

#include <sys/stat.h>

#include <future>

namespace marquelo::test {
namespace {

const QString kDevice = QStringLiteral("/org/freedesktop/ColorManager/devices/xrandr_test");
const QString kProfile = QStringLiteral("/org/freedesktop/ColorManager/profiles/test");

// Answers what the viewer asks of colord: one display device with one profile.
class FakeColord : public QDBusVirtualObject {
public:
    QString output;              // the device's XRANDR_name
    QString deviceId;            // its DeviceId
    bool byPropertyKnown = true; // FindDeviceByProperty finds it
    QString profileFile;
    bool hang = false; // never answers
    int calls = 0;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        ++calls;
        if (hang) {
            message.setDelayedReply(true);
            return true;
        }
        const QVariantList args = message.arguments();
        const QString member = message.member();
        QDBusMessage reply;
        if (member == QLatin1String("FindDeviceByProperty")) {
            if (byPropertyKnown && args.value(0).toString() == QLatin1String("XRANDR_name") &&
                args.value(1).toString() == output)
                reply = message.createReply(QVariant::fromValue(QDBusObjectPath(kDevice)));
            else
                reply = message.createErrorReply(QStringLiteral("org.freedesktop.ColorManager.NotFound"),
                                                 QStringLiteral("no such device"));
        } else if (member == QLatin1String("GetDevicesByKind")) {
            reply = message.createReply(QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(kDevice)}));
        } else if (member == QLatin1String("Get") && message.path() == kDevice &&
                   args.value(1).toString() == QLatin1String("Profiles")) {
            reply = message.createReply(QVariant::fromValue(
                QDBusVariant(QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(kProfile)}))));
        } else if (member == QLatin1String("Get") && message.path() == kDevice &&
                   args.value(1).toString() == QLatin1String("DeviceId")) {
            reply = message.createReply(QVariant::fromValue(QDBusVariant(deviceId)));
        } else if (member == QLatin1String("Get") && message.path() == kProfile &&
                   args.value(1).toString() == QLatin1String("Filename")) {
            reply = message.createReply(QVariant::fromValue(QDBusVariant(profileFile)));
        } else {
            reply = message.createErrorReply(QDBusError::UnknownMethod, member);
        }
        connection.send(reply);
        return true;
    }
};

// A bus of the test's own, with the fake colord on it.
class ColordBus : public ::testing::Test {
protected:
    QProcess daemon;
    QTemporaryDir dir;
    FakeColord colord;
    QString address;
    const QString connectionName = QStringLiteral("fake-colord");

    void SetUp() override
    {
        qDBusRegisterMetaType<QList<QDBusObjectPath>>();
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
        daemon.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                               QStringLiteral("--print-address")});
        if (!daemon.waitForStarted(10'000))
            GTEST_SKIP() << "dbus-daemon does not start: " << daemon.errorString().toStdString();
        while (!daemon.canReadLine() && daemon.waitForReadyRead(10'000)) {
        }
        address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
        if (address.isEmpty())
            GTEST_SKIP() << "dbus-daemon printed no address: " << daemon.readAllStandardError().toStdString();
        QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName);
        ASSERT_TRUE(bus.isConnected()) << bus.lastError().message().toStdString();
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.ColorManager")));
        ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/ColorManager"), &colord,
                                              QDBusConnection::SubPath));
        qputenv("MARQUELO_COLORD_BUS", address.toUtf8());
        colord.output = QStringLiteral("DP-2");
        colord.deviceId = QStringLiteral("xrandr-Maker-Model-1234");
        colord.profileFile = dir.filePath(QStringLiteral("display.icc"));
    }

    void TearDown() override
    {
        qunsetenv("MARQUELO_COLORD_BUS");
        PictureColour::setDisplayProfile({});
        QDBusConnection::connectToBus(address, connectionName)
            .unregisterObject(QStringLiteral("/org/freedesktop/ColorManager"), QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(connectionName);
        if (daemon.state() != QProcess::NotRunning) {
            daemon.kill();
            daemon.waitForFinished(5'000);
        }
    }

    void writeProfile(const QByteArray& icc)
    {
        QFile file(colord.profileFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(icc);
    }

    // The lookup on a thread of its own while this one serves the fake colord.
    QByteArray lookUp(const QString& output)
    {
        auto answer = std::async(std::launch::async, [output] { return colordProfile(output); });
        while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QCoreApplication::processEvents();
        return answer.get();
    }
};

TEST_F(ColordBus, TheProfileOfTheOutputIsFoundByItsNameOrItsDeviceId)
{
    const QByteArray icc = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    writeProfile(icc);
    EXPECT_EQ(lookUp(QStringLiteral("DP-2")), icc);
    EXPECT_TRUE(lookUp(QStringLiteral("HDMI-1")).isEmpty()) << "another output has no profile";

    colord.byPropertyKnown = false;
    colord.deviceId = QStringLiteral("xrandr-DP-2");
    EXPECT_EQ(lookUp(QStringLiteral("DP-2")), icc) << "found among the display devices";
    EXPECT_TRUE(lookUp(QStringLiteral("P-2")).isEmpty()) << "only a whole name matches";
}

TEST_F(ColordBus, AProfileThatIsNotARegularFileIsNeverOpened)
{
    ASSERT_EQ(mkfifo(colord.profileFile.toLocal8Bit().constData(), 0600), 0);
    EXPECT_TRUE(lookUp(QStringLiteral("DP-2")).isEmpty());
}

TEST_F(ColordBus, AColordThatNeverAnswersNeverHoldsTheWindow)
{
    colord.hang = true;
    DisplayProfileFollower follower;
    QSignalSpy changed(&follower, &DisplayProfileFollower::profileChanged);
    follower.follow(QStringLiteral("DP-2"));
    EXPECT_TRUE(follower.busy()) << "follow() returned while the lookup waits on the bus";
    QTRY_VERIFY_WITH_TIMEOUT(!follower.busy(), 30'000);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_GE(colord.calls, 1);
}

// The viewer on an output colord has a wide-gamut profile for: sRGB red is shown as that display's red.
TEST_F(ColordBus, TheWindowShowsPicturesInTheProfileOfItsOutput)
{
    writeProfile(QColorSpace(QColorSpace::DisplayP3).iccProfile());
    runWithScreens(R"({"screens": [{"name": "DP-2", "x": 0, "y": 0, "width": 800, "height": 600}]})",
                   QStringLiteral("ColordWindow.*"));
}

// Runs in the process the test above starts, on its bus and its screen "DP-2".
TEST(ColordWindow, ShowsRedAsTheProfileSays)
{
    if (!inScreensChild())
        GTEST_SKIP() << "runs on the screen and bus ColordBus starts";
    const QColorSpace p3(QColorSpace::DisplayP3);
    const QColor expected = QColorSpace(QColorSpace::SRgb).transformationToColorSpace(p3).map(QColor(Qt::red));
    ASSERT_FALSE(near(expected, Qt::red)) << "the profile's red must differ from sRGB's";
    ASSERT_EQ(QGuiApplication::primaryScreen()->name(), QStringLiteral("DP-2"));

    QTemporaryDir dir;
    writePhoto(dir.filePath(QStringLiteral("red.jpg")), QSize(160, 120), Qt::red);
    AppConfig config;
    config.StartMaximized = false;
    ImageList images;
    ASSERT_TRUE(images.scanDirectory(dir.path().toStdString(), config));
    ScriptedUserInterface ui;
    ViewerWindow window(config, images, ui);
    window.resize(400, 300);
    window.show();
    window.showCurrent();
    const auto centre = [&window] { return window.grab().toImage().pixelColor(200, 150); };
    EXPECT_TRUE(near(centre(), Qt::red)) << "sRGB until the colour manager has answered";
    QTRY_VERIFY_WITH_TIMEOUT(near(centre(), expected, 12), 20'000);
    EXPECT_EQ(PictureColour::displayProfile(), p3.iccProfile());
    PictureColour::setDisplayProfile({});
}

} // namespace
} // namespace marquelo::test
