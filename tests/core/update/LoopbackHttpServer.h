#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update tests, run by the test's own event loop. It serves
// fixed replies by path and can misbehave the ways real servers do: no length, a short body, a stall,
// a slow trickle. Unknown paths get a 404 error page, as a real web server would send.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marquelo::test {

struct HttpReply {
    int status = 200;
    std::string body;
    bool withLength = true;                                          // send a Content-Length header
    std::optional<std::int64_t> announced;                           // Content-Length other than the body's size
    std::size_t sendLimit = std::numeric_limits<std::size_t>::max(); // body bytes sent at most
    bool stallAfterLimit = false; // keep the connection open after the limit (else close)
    int trickleBytes = 0;         // > 0: send the body in chunks of this size ...
    int trickleMs = 0;            // ... one every this many milliseconds

    HttpReply(std::string text = {}, int code = 200) : status(code), body(std::move(text)) {}
    HttpReply& withoutLength()
    {
        withLength = false;
        return *this;
    }
    HttpReply& announcing(std::int64_t length)
    {
        announced = length;
        return *this;
    }
    // Sends only `bytes` of the body, then hangs up (or, stalling, keeps the line open and silent).
    HttpReply& cutAfter(std::size_t bytes, bool stall = false)
    {
        sendLimit = bytes;
        stallAfterLimit = stall;
        return *this;
    }
    HttpReply& trickle(int bytes, int everyMs)
    {
        trickleBytes = bytes;
        trickleMs = everyMs;
        return *this;
    }
};

// Names the rows of a parameterised test after their `name` field.
template <class Row> std::string rowName(const ::testing::TestParamInfo<Row>& row)
{
    return row.param.name;
}

struct HttpRequest {
    std::string path;
    std::map<std::string, std::string> headers; // names in lower case
};

class LoopbackHttpServer {
public:
    LoopbackHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
    }

    bool listening() const { return m_server.isListening(); }
    std::string baseAddress() const
    {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/marquelo/";
    }

    // A silent server takes every call and never says a word.
    void setSilent(bool silent) { m_silent = silent; }

    // Serves `reply` for GET /marquelo/<name>.
    void serve(const std::string& name, HttpReply reply) { m_replies["/marquelo/" + name] = std::move(reply); }

    const std::vector<HttpRequest>& requests() const { return m_requests; }
    bool wasRequested(const std::string& name) const
    {
        for (const HttpRequest& r : m_requests)
            if (r.path == "/marquelo/" + name)
                return true;
        return false;
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                if (buffer->contains("\r\n\r\n"))
                    return; // one request per connection
                buffer->append(socket->readAll());
                if (buffer->contains("\r\n\r\n") && !m_silent)
                    answer(socket, *buffer);
            });
        }
    }

    void answer(QTcpSocket* socket, const QByteArray& head)
    {
        HttpRequest request;
        const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.path = first.value(1).toStdString();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers[lines[i].left(colon).trimmed().toLower().toStdString()] =
                    lines[i].mid(colon + 1).trimmed().toStdString();
        }
        m_requests.push_back(request);

        HttpReply reply;
        if (auto it = m_replies.find(request.path); it != m_replies.end()) {
            reply = it->second;
        } else {
            reply.status = 404;
            reply.body = "<!DOCTYPE html><html><head><title>404 Not Found</title></head>"
                         "<body><h1>Not Found</h1></body></html>\n";
        }

        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + (reply.status == 200 ? " OK" : " Error") +
                         "\r\nContent-Type: application/octet-stream\r\n";
        if (reply.withLength)
            out += "Content-Length: " +
                   QByteArray::number(qint64(reply.announced.value_or(std::int64_t(reply.body.size())))) + "\r\n";
        out += "Connection: close\r\n\r\n";
        socket->write(out);

        const QByteArray body = QByteArray::fromStdString(reply.body.substr(0, reply.sendLimit));
        const bool close = !reply.stallAfterLimit;
        if (reply.trickleBytes <= 0) {
            socket->write(body);
            if (close)
                socket->disconnectFromHost();
            return;
        }
        auto timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent, close, reply] {
            socket->write(body.mid(*sent, reply.trickleBytes));
            *sent += reply.trickleBytes;
            if (*sent >= body.size()) {
                timer->stop();
                if (close)
                    socket->disconnectFromHost();
            }
        });
        timer->start(reply.trickleMs);
    }

    QTcpServer m_server;
    std::map<std::string, HttpReply> m_replies;
    std::vector<HttpRequest> m_requests;
    bool m_silent = false;
};

} // namespace marquelo::test
