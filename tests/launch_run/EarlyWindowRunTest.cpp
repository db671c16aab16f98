// The program started on a photo under a private X server with a window manager: the early window shows
// the photo, keys typed into it reach the viewer window in order, the viewer window has its title and
// state, and the screen never shows the bare background once the photo was on it.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marquelo {
namespace {

constexpr QSize kScreen(640, 480);

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

std::uint32_t be32(const unsigned char* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Xvfb keeps its screen in a file (-fbdir): reading it sees every frame the server has, without asking
// the server anything the program could notice.
class Framebuffer {
public:
    bool open(const QString& file)
    {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        if (fd < 0)
            return false;
        struct stat st {};
        if (fstat(fd, &st) == 0 && st.st_size > 100) {
            m_size = std::size_t(st.st_size);
            void* base = mmap(nullptr, m_size, PROT_READ, MAP_SHARED, fd, 0);
            m_base = base == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(base);
        }
        ::close(fd);
        if (!m_base)
            return false;
        // The XWD header: big-endian 32-bit fields.
        m_bytesPerLine = be32(m_base + 48);
        m_offset = be32(m_base + 0) + std::size_t(be32(m_base + 76)) * 12;
        return be32(m_base + 44) == 32 && m_offset + std::size_t(m_bytesPerLine) * kScreen.height() <= m_size;
    }
    ~Framebuffer()
    {
        if (m_base)
            munmap(const_cast<unsigned char*>(m_base), m_size);
    }
    QRgb pixel(int x, int y) const
    {
        std::uint32_t p = 0;
        std::memcpy(&p, m_base + m_offset + std::size_t(y) * m_bytesPerLine + std::size_t(x) * 4, 4);
        return p & 0xffffff;
    }

private:
    const unsigned char* m_base = nullptr;
    std::size_t m_size = 0;
    std::size_t m_offset = 0;
    std::uint32_t m_bytesPerLine = 0;
};

// A private Xvfb with openbox, shared by the tests here.
class XServer {
public:
    QTemporaryDir dir;
    QProcess xvfb;
    QProcess wm;
    QString display;
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    Framebuffer screen;

    bool start()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
            return false;
        // The server picks a free display itself and says which: tests running side by side never
        // share one.
        xvfb.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("%1x%2x24").arg(kScreen.width()).arg(kScreen.height()), QStringLiteral("-fbdir"),
                    dir.path(), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!xvfb.waitForStarted())
            return false;
        QElapsedTimer started;
        started.start();
        QByteArray number;
        while (!number.endsWith('\n') && started.elapsed() < 10000 && xvfb.state() == QProcess::Running) {
            xvfb.waitForReadyRead(100);
            number += xvfb.readAllStandardOutput();
        }
        if (!number.endsWith('\n'))
            return false;
        display = u':' + QString::fromLatin1(number.trimmed());
        connection = xcb_connect(display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            connection = nullptr;
        }
        if (!connection)
            return false;
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        // The pointer is drawn into the screen's pixels: out of the way, in a corner.
        xcb_warp_pointer(connection, XCB_NONE, root, 0, 0, 0, 0, 0, 0);
        xcb_flush(connection);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("HOME"), dir.path());
        wm.setProcessEnvironment(env);
        wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        // Ready once it manages a window: openbox announces itself before it has read its setup.
        const xcb_window_t probe = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(connection, probe);
        xcb_flush(connection);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000 && clients().empty())
            QThread::msleep(5);
        const bool managed = !clients().empty();
        xcb_destroy_window(connection, probe);
        xcb_flush(connection);
        while (waited.elapsed() < 10000 && !clients().empty())
            QThread::msleep(5);
        return managed && clients().empty() && screen.open(dir.filePath(QStringLiteral("Xvfb_screen0")));
    }
    ~XServer()
    {
        if (connection)
            xcb_disconnect(connection);
        for (QProcess* p : {&wm, &xvfb}) {
            p->terminate();
            if (!p->waitForFinished(2000)) {
                p->kill();
                p->waitForFinished();
            }
        }
    }

    xcb_atom_t atom(const char* name) const
    {
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    QByteArray property(xcb_window_t window, const char* name) const
    {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
            nullptr));
        if (!reply)
            return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }
    std::vector<std::uint32_t> windows(const char* name, xcb_window_t window) const
    {
        const QByteArray bytes = property(window, name);
        std::vector<std::uint32_t> ids(std::size_t(bytes.size()) / 4);
        if (!ids.empty())
            std::memcpy(ids.data(), bytes.constData(), ids.size() * 4);
        return ids;
    }
    // The program's top-level windows, oldest first.
    std::vector<std::uint32_t> clients() const { return windows("_NET_CLIENT_LIST", root); }

    xcb_keycode_t keycodeOf(xcb_keysym_t keysym) const
    {
        const xcb_setup_t* setup = xcb_get_setup(connection);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        const Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, std::uint8_t(count)), nullptr));
        if (!map)
            return 0;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
        for (int i = 0; i < count * map->keysyms_per_keycode; ++i)
            if (syms[i] == keysym)
                return xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
        return 0;
    }
    // A press and a release, as the X server would send them to the window with the focus.
    void typeInto(xcb_window_t window, xcb_keycode_t keycode) const
    {
        for (const std::uint8_t type : {std::uint8_t(XCB_KEY_PRESS), std::uint8_t(XCB_KEY_RELEASE)}) {
            xcb_key_press_event_t event{};
            event.response_type = type;
            event.detail = keycode;
            event.time = XCB_CURRENT_TIME;
            event.root = root;
            event.event = window;
            event.same_screen = 1;
            xcb_send_event(connection, 0, window,
                           type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                           reinterpret_cast<const char*>(&event));
        }
        xcb_flush(connection);
    }
};

class EarlyWindowRunTest : public ::testing::Test {
protected:
    static inline std::unique_ptr<XServer> x;
    QTemporaryDir tmp;
    QString photos = QDir(tmp.path()).filePath(QStringLiteral("photos"));

    static void SetUpTestSuite()
    {
        x = std::make_unique<XServer>();
        if (!x->start())
            x.reset();
    }
    static void TearDownTestSuite() { x.reset(); }

    void SetUp() override
    {
        if (!x)
            GTEST_SKIP() << "needs Xvfb and openbox";
        QDir().mkpath(photos);
        // Plain colours, told apart on the screen at a glance.
        for (const auto& [name, colour] :
             {std::pair{"a.jpg", Qt::red}, std::pair{"b.jpg", Qt::green}, std::pair{"c.jpg", Qt::blue}}) {
            QImage image(160, 120, QImage::Format_RGB32);
            image.fill(colour);
            ASSERT_TRUE(image.save(QDir(photos).filePath(QLatin1String(name)), "JPG", 95));
        }
    }

    void store(const QByteArray& extra)
    {
        QDir().mkpath(tmp.filePath(QStringLiteral("config/Quorvant")));
        QFile f(tmp.filePath(QStringLiteral("config/Quorvant/marquelo.conf")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Configuration]\nConfigIsValid=1\nKeyHelpSeen=1\nSorting=1\nBaseOutputDirectory=" +
                tmp.filePath("out").toUtf8() + "\nBestOfDirectory=" + tmp.filePath("best").toUtf8() + "\n" + extra);
    }

    void start(QProcess& program, const QString& photo = QStringLiteral("a.jpg"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "MARQUELO_NO_EARLY_WINDOW"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("DISPLAY"), x->display);
        env.insert(QStringLiteral("HOME"), tmp.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("MARQUELO_STARTUP_TRACE"), tmp.filePath(QStringLiteral("trace")));
        program.setProcessEnvironment(env);
        program.start(QString::fromStdString(test::builtProgram("marquelo")), {QDir(photos).filePath(photo)});
        ASSERT_TRUE(program.waitForStarted());
    }

    QByteArray trace() const
    {
        QFile f(tmp.filePath(QStringLiteral("trace")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static void stop(QProcess& program)
    {
        program.terminate();
        if (!program.waitForFinished(5000)) {
            program.kill();
            program.waitForFinished();
        }
    }

    // What the screen's centre shows: 'r', 'g', 'b' for the photos, '.' for the viewer's background,
    // '-' for anything else (the empty screen, a frame being drawn).
    static char centre()
    {
        const QRgb p = x->screen.pixel(kScreen.width() / 2, kScreen.height() / 2);
        const auto near = [p](int r, int g, int b) {
            return std::abs(qRed(p) - r) < 40 && std::abs(qGreen(p) - g) < 40 && std::abs(qBlue(p) - b) < 40;
        };
        if (near(255, 0, 0))
            return 'r';
        if (near(0, 255, 0))
            return 'g';
        if (near(0, 0, 255))
            return 'b';
        if (near(212, 208, 196))
            return '.';
        return '-';
    }
};

TEST_F(EarlyWindowRunTest, KeysTypedBeforeQtArriveInOrderAndNoBackgroundFlashes)
{
    store("StartMaximized=1\nFullScreenTitleBar=1\n");
    QProcess program;
    start(program);
    std::string frames;
    bool typed = false;
    bool typedIntoEarly = false;
    const xcb_keycode_t end = x->keycodeOf(0xff57);  // End
    const xcb_keycode_t left = x->keycodeOf(0xff51); // Left
    ASSERT_TRUE(end && left);
    const QString wanted = photos + QStringLiteral("/b.jpg - Marquelo");
    QElapsedTimer clock;
    clock.start();
    xcb_window_t viewer = 0;
    while (clock.elapsed() < 20000) {
        const char now = centre();
        if (frames.empty() || frames.back() != now)
            frames += now;
        const std::vector<std::uint32_t> clients = x->clients();
        if (!typed && !clients.empty()) {
            // End, then Left: the last photo, then the one before it. In the other order, or with a key
            // lost, the window ends on another photo.
            typedIntoEarly = clients.size() == 1;
            x->typeInto(clients.front(), end);
            x->typeInto(clients.front(), left);
            typed = true;
        }
        if (trace().contains("early window handed over") && clients.size() == 1 &&
            QString::fromUtf8(x->property(clients.front(), "_NET_WM_NAME")) == wanted) {
            viewer = clients.front();
            break;
        }
        QThread::usleep(500);
    }
    const QByteArray steps = trace();
    const std::vector<std::uint32_t> state =
        viewer ? x->windows("_NET_WM_STATE", viewer) : std::vector<std::uint32_t>();
    // The keys typed from now on go to the viewer window: it has the focus the early window had.
    xcb_window_t focus = 0;
    for (int wait = 0; wait < 200 && viewer && focus != viewer; ++wait) {
        const Reply<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(x->connection, xcb_get_input_focus(x->connection), nullptr));
        focus = reply ? reply->focus : 0;
        if (focus != viewer)
            QThread::msleep(5);
    }
    stop(program);
    ASSERT_TRUE(steps.contains("early window mapped")) << steps.toStdString();
    ASSERT_NE(viewer, 0u) << "frames " << frames << "\n" << steps.toStdString();
    EXPECT_TRUE(typedIntoEarly) << "the keys reached the viewer window itself; trace:\n" << steps.toStdString();
    EXPECT_EQ(focus, viewer);
    // Maximized with its title bar, as the settings say.
    EXPECT_NE(std::find(state.begin(), state.end(), x->atom("_NET_WM_STATE_MAXIMIZED_VERT")), state.end());
    EXPECT_EQ(std::find(state.begin(), state.end(), x->atom("_NET_WM_STATE_FULLSCREEN")), state.end());
    // Once a photo was on the screen, the background alone never is.
    const std::size_t firstPhoto = frames.find_first_of("rgb");
    ASSERT_NE(firstPhoto, std::string::npos) << frames;
    EXPECT_EQ(frames.find('.', firstPhoto), std::string::npos) << frames;
}

TEST_F(EarlyWindowRunTest, FullScreenStartShowsThePhotoWithoutABackgroundFrame)
{
    store("StartMaximized=1\nFullScreenTitleBar=0\n");
    QProcess program;
    start(program);
    std::string frames;
    QElapsedTimer clock;
    clock.start();
    qint64 handedOver = -1;
    // Watched a little beyond the hand-over: the early window's end must not uncover anything.
    while (clock.elapsed() < 20000 && (handedOver < 0 || clock.elapsed() < handedOver + 150)) {
        const char now = centre();
        if (frames.empty() || frames.back() != now)
            frames += now;
        if (handedOver < 0 && trace().contains("early window handed over"))
            handedOver = clock.elapsed();
        QThread::usleep(500);
    }
    const QByteArray steps = trace();
    const std::vector<std::uint32_t> clients = x->clients();
    ASSERT_EQ(clients.size(), 1u) << steps.toStdString();
    const std::vector<std::uint32_t> state = x->windows("_NET_WM_STATE", clients.front());
    const QString title = QString::fromUtf8(x->property(clients.front(), "_NET_WM_NAME"));
    const QByteArray wmClass = x->property(clients.front(), "WM_CLASS");
    stop(program);
    ASSERT_TRUE(steps.contains("early picture shown")) << steps.toStdString();
    // A plain JPEG: decoded by the program's front before the program was even loaded.
    EXPECT_LT(steps.indexOf("early picture shown"), steps.indexOf("program loaded")) << steps.toStdString();
    EXPECT_NE(std::find(state.begin(), state.end(), x->atom("_NET_WM_STATE_FULLSCREEN")), state.end());
    EXPECT_EQ(title, photos + QStringLiteral("/a.jpg - Marquelo"));
    EXPECT_TRUE(wmClass.startsWith("marquelo")) << wmClass.toStdString();
    const std::size_t firstPhoto = frames.find('r');
    ASSERT_NE(firstPhoto, std::string::npos) << frames;
    EXPECT_EQ(frames.find_first_not_of('r', firstPhoto), std::string::npos) << frames;
}

TEST_F(EarlyWindowRunTest, TransparentStartPhotoShowsTheBackgroundThrough)
{
    // The early copy is made while Qt is starting: its transparent half is laid over the background
    // without Qt's painter, one pixel wider than the screen so that it is scaled too.
    QImage image(kScreen.width() + 1, 300, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < image.height(); ++y)
        for (int x = image.width() / 2; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(0, 0, 255, 255));
    ASSERT_TRUE(image.save(QDir(photos).filePath(QStringLiteral("a.png"))));
    QFile::remove(QDir(photos).filePath(QStringLiteral("a.jpg")));
    store("StartMaximized=1\nFullScreenTitleBar=0\n");
    QProcess program;
    start(program, QStringLiteral("a.png"));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && program.state() == QProcess::Running &&
           !trace().contains("early window handed over"))
        QThread::msleep(2);
    const QByteArray steps = trace();
    const bool running = program.state() == QProcess::Running;
    // The transparent left half shows the viewer's background, the right half the blue.
    const QRgb left = x->screen.pixel(kScreen.width() / 4, kScreen.height() / 2);
    const QRgb right = x->screen.pixel(kScreen.width() * 3 / 4, kScreen.height() / 2);
    stop(program);
    ASSERT_TRUE(running) << steps.toStdString();
    EXPECT_TRUE(steps.contains("early picture shown")) << steps.toStdString();
    EXPECT_TRUE(steps.contains("early window handed over")) << steps.toStdString();
    EXPECT_EQ(left, qRgb(212, 208, 196) & 0xffffff);
    EXPECT_EQ(right, qRgb(0, 0, 255) & 0xffffff);
}

} // namespace
} // namespace marquelo
