// The update download reads the body in pieces of at most 1024 bytes into a block of the announced
// length. The baseline is the same request over the loopback interface taken with one readAll() when it
// has finished; the figure to read is the ratio of the piecewise download against it, for 300 kB and 5 MB.
#include "core/update/Downloader.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

using namespace marquelo;

class QuietUserInterface : public UserInterface {
public:
    void message(std::string_view) override {}
    Answer ask(std::string_view, Buttons) override { return Answer::Cancel; }
};

// Answers every request with `size` bytes and a Content-Length, then hangs up.
class BodyServer {
public:
    BodyServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    const qsizetype size = request.mid(request.indexOf('/') + 1).split(' ').value(0).toLongLong();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(size) +
                                  "\r\nConnection: close\r\n\r\n");
                    socket->write(body(size));
                    socket->disconnectFromHost();
                });
            }
        });
    }
    std::string address(std::int64_t size) const
    {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/" + std::to_string(size);
    }

private:
    const QByteArray& body(qsizetype size)
    {
        QByteArray& b = m_bodies[size];
        if (b.size() != size)
            b = QByteArray(size, 'x');
        return b;
    }
    QTcpServer m_server;
    std::map<qsizetype, QByteArray> m_bodies;
};

BodyServer* server = nullptr;

void BM_ReadAllBaseline(benchmark::State& state)
{
    const QUrl url(QString::fromStdString(server->address(state.range(0))));
    for (auto _ : state) {
        QNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        benchmark::DoNotOptimize(reply->readAll());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_DownloadInPieces(benchmark::State& state)
{
    QuietUserInterface ui;
    Downloader downloader(ui, nullptr);
    const std::string address = server->address(state.range(0));
    for (auto _ : state) {
        auto block = downloader.downloadToMemory(address);
        if (!block || std::int64_t(block->size()) != state.range(0))
            state.SkipWithError("download failed");
        benchmark::DoNotOptimize(block);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ReadAllBaseline)->Arg(300000)->Arg(5000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadInPieces)->Arg(300000)->Arg(5000000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    BodyServer bodies;
    server = &bodies;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
