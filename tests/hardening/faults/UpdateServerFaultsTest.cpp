// An update server that resets the connection, before answering or in the middle of the new program,
// or that is hostile (gigabytes announced, a byte now and then): the user is told, the check ends by its
// deadline, and the installed program and its folder stay exactly as they were.
#include "harness/FileSnapshot.h"

#include "core/update/LoopbackHttpServer.h"

#include "core/update/UpdateCheck.h"
#include "support/ScriptedUserInterface.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

enum class Reset { OnConnect, AfterRequest, MidProgram };

// Answers nothing properly: every connection ends with a TCP reset at the chosen moment. In MidProgram
// mode it serves a newer version number and a signature first, and resets during the program's bytes.
class ResettingServer {
public:
    explicit ResettingServer(Reset mode) : m_mode(mode)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }
    std::string baseAddress() const { return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/m/"; }
    int connections() const { return m_connections; }

private:
    static void reset(QTcpSocket* socket)
    {
        // Linger with a zero timeout turns the close into a reset.
        const linger hard{1, 0};
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        socket->abort();
        socket->deleteLater();
    }

    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ++m_connections;
            if (m_mode == Reset::OnConnect) {
                reset(socket);
                continue;
            }
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_request += socket->readAll();
                if (!m_request.contains("\r\n\r\n"))
                    return;
                const QByteArray line = m_request.left(m_request.indexOf('\r'));
                m_request.clear();
                if (m_mode == Reset::MidProgram && line.contains("/m/version.txt ")) {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nConnection: close\r\n\r\n99\n");
                    socket->disconnectFromHost();
                    return;
                }
                if (m_mode == Reset::MidProgram && line.contains("/m/marquelo.sig ")) {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 64\r\nConnection: close\r\n\r\n");
                    socket->write(QByteArray(64, 's'));
                    socket->disconnectFromHost();
                    return;
                }
                if (m_mode == Reset::MidProgram && line.contains("/m/marquelo ")) {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 400000\r\nConnection: close\r\n\r\n");
                    socket->write(QByteArray(30000, 'p'));
                    socket->flush();
                    reset(socket);
                    return;
                }
                reset(socket);
            });
        }
    }

    Reset m_mode;
    QTcpServer m_server;
    QByteArray m_request;
    int m_connections = 0;
};

class NoProgress : public DownloadProgress {
public:
    void start(const std::string&, std::int64_t, std::int64_t) override {}
    void setPosition(std::int64_t) override {}
    void closeWindow() override { m_closed = true; }
    bool closed() const override { return m_closed; }

private:
    bool m_closed = false;
};

class NoPage : public UpgradePageViewer {
public:
    bool show(const std::string&) override { return false; }
};

struct ResetCase {
    const char* name;
    Reset mode;
    const char* message; // the last thing the user is told
};

class UpdateServerFaults : public ::testing::TestWithParam<ResetCase> {};

TEST_P(UpdateServerFaults, UserIsToldAndTheInstallationIsUntouched)
{
    QTemporaryDir install;
    const std::string folder = install.path().toStdString();
    std::ofstream(folder + "/marquelo", std::ios::binary) << std::string(5000, 'x');
    std::ofstream(folder + "/upgrade.html", std::ios::binary) << "<html></html>";
    fs::permissions(folder + "/marquelo", fs::perms::owner_all);
    const FileSnapshot before = FileSnapshot::of(folder);

    ResettingServer server(GetParam().mode);
    ScriptedUserInterface ui;
    ui.answers = {UserInterface::Answer::Yes}; // "Upgrade now?"
    NoPage pages;
    UpdateCheck::Options options;
    options.baseAddress = server.baseAddress();
    options.installationPath = folder;
    options.stallTimeout = std::chrono::milliseconds(5000);
    UpdateCheck check(
        options, ui, [] { return std::make_unique<NoProgress>(); }, pages);
    check.checkForUpdates();

    // Mid-program, the version and the signature came through before the reset.
    EXPECT_GE(server.connections(), GetParam().mode == Reset::MidProgram ? 3 : 1);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back(), GetParam().message);
    const FileSnapshot after = FileSnapshot::of(folder);
    EXPECT_EQ(after.hashes(), before.hashes()) << "a file of the installation changed or appeared";
}

INSTANTIATE_TEST_SUITE_P(, UpdateServerFaults,
                         ::testing::Values(ResetCase{"ResetOnConnect", Reset::OnConnect,
                                                     "Connection to the server failed. Please try again later."},
                                           ResetCase{"ResetAfterRequest", Reset::AfterRequest,
                                                     "Connection to the server failed. Please try again later."},
                                           ResetCase{"ResetInTheMiddleOfTheProgram", Reset::MidProgram,
                                                     "Failed to download the new version. Please try again later."}),
                         [](const auto& row) { return std::string(row.param.name); });

const char* const kConnectionFailed = "Connection to the server failed. Please try again later.";
const char* const kDownloadFailed = "Failed to download the new version. Please try again later.";
const char* const kIncomplete = "Download did not complete";

struct HostileCase {
    const char* name;
    std::function<void(LoopbackHttpServer&)> serve; // what the server publishes beside version 99
    std::vector<std::string> messages;              // everything the user is told, in order
};

void PrintTo(const HostileCase& row, std::ostream* out)
{
    *out << row.name;
}

class HostileUpdateServer : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileUpdateServer, BoundedAndOverByTheDeadline)
{
    QTemporaryDir install;
    const std::string folder = install.path().toStdString();
    std::ofstream(folder + "/marquelo", std::ios::binary) << std::string(5000, 'x');
    fs::permissions(folder + "/marquelo", fs::perms::owner_all);
    const FileSnapshot before = FileSnapshot::of(folder);

    LoopbackHttpServer server;
    server.serve("version.txt", HttpReply("99\n"));
    server.serve("marquelo.sig", HttpReply(std::string(64, 's')));
    server.serve("marquelo", HttpReply(std::string(30000, 'p')));
    GetParam().serve(server);
    ScriptedUserInterface ui;
    ui.answers = {UserInterface::Answer::Yes}; // "Upgrade now?"
    NoPage pages;
    UpdateCheck::Options options;
    options.baseAddress = server.baseAddress();
    options.installationPath = folder;
    // The stall time-out alone would never end a trickle: only the deadlines can.
    options.stallTimeout = std::chrono::milliseconds(5000);
    options.deadline = std::chrono::milliseconds(1500);
    options.programDeadline = std::chrono::milliseconds(1500);
    UpdateCheck check(
        options, ui, [] { return std::make_unique<NoProgress>(); }, pages);
    check.checkForUpdates();

    EXPECT_EQ(ui.messages, GetParam().messages);
    EXPECT_EQ(FileSnapshot::of(folder).hashes(), before.hashes()) << "a file of the installation changed or appeared";
}

INSTANTIATE_TEST_SUITE_P(
    , HostileUpdateServer,
    ::testing::Values(
        HostileCase{"VersionFileOfFourGigabytes",
                    [](LoopbackHttpServer& s) {
                        s.serve("version.txt", HttpReply("99").announcing(4294967295LL).cutAfter(2, true));
                    },
                    {kConnectionFailed}},
        HostileCase{"VersionFileTrickled",
                    [](LoopbackHttpServer& s) {
                        s.serve("version.txt", HttpReply("99\n" + std::string(40, ' ')).trickle(1, 200));
                    },
                    {kIncomplete, kConnectionFailed}},
        HostileCase{"SignatureOfFourGigabytes",
                    [](LoopbackHttpServer& s) {
                        s.serve("marquelo.sig",
                                HttpReply(std::string(64, 's')).announcing(4294967295LL).cutAfter(64, true));
                    },
                    {kDownloadFailed}},
        HostileCase{"ProgramOfFourGigabytes",
                    [](LoopbackHttpServer& s) {
                        s.serve("marquelo",
                                HttpReply(std::string(30000, 'p')).announcing(4294967295LL).cutAfter(30000, true));
                    },
                    {kDownloadFailed}},
        HostileCase{
            "ProgramTrickled",
            [](LoopbackHttpServer& s) { s.serve("marquelo", HttpReply(std::string(30000, 'p')).trickle(500, 200)); },
            {kIncomplete, kDownloadFailed}}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace marquelo::test
