#include "core/update/Downloader.h"

#include "core/settings/Logging.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <new>

namespace marquelo {

namespace {

constexpr int kLongestErrorText = 4095;

bool isRedirect(const QNetworkReply& reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 300 && status < 400;
}

// The server has answered with its final status line (redirects are followed on the way).
bool hasAnswered(const QNetworkReply& reply)
{
    return reply.isFinished() || reply.bytesAvailable() > 0 ||
           (reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() && !isRedirect(reply));
}

// Runs the event loop until `reply` has news or the progress window was closed, so the GUI (and the
// window's Cancel) stays live. Without a window nobody may click into the program meanwhile: the check
// must not be started twice from under itself.
void waitForReply(QNetworkReply& reply, const DownloadProgress* progress)
{
    QEventLoop loop;
    QObject::connect(&reply, &QNetworkReply::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&reply, &QNetworkReply::metaDataChanged, &loop, &QEventLoop::quit);
    QTimer poll;
    if (progress) {
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, progress] {
            if (progress->closed())
                loop.quit();
        });
        poll.start();
    }
    loop.exec(progress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

// The announced body length; 0 when it is missing or does not fit in four bytes.
std::int64_t announcedLength(const QNetworkReply& reply)
{
    if (!reply.hasRawHeader("Content-Length"))
        return 0;
    bool ok = false;
    const qint64 length = reply.rawHeader("Content-Length").trimmed().toLongLong(&ok);
    if (!ok || length <= 0 || length > std::numeric_limits<std::uint32_t>::max())
        return 0;
    return length;
}

std::string openingError(const QNetworkReply& reply)
{
    // Nobody aborts the request while it opens but the stall time-out; Qt calls that a cancel.
    QString text =
        reply.error() == QNetworkReply::OperationCanceledError || reply.error() == QNetworkReply::TimeoutError
            ? QStringLiteral("Connection timed out")
            : reply.errorString();
    return text.left(kLongestErrorText).toStdString();
}

void useSystemProxies()
{
    static const bool done = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        return true;
    }();
    (void)done;
}

} // namespace

Downloader::Downloader(UserInterface& ui, DownloadProgressFactory progress) : m_ui(ui), m_progress(std::move(progress))
{
}

bool Downloader::download(const std::string& address, const BodyLimits& limits,
                          const std::function<bool(std::int64_t length)>& begin,
                          const std::function<bool(const char* piece, std::int64_t size)>& take)
{
    useSystemProxies();
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QString::fromStdString(address)));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("MarqueloDownloader"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The announced length must be the length of what we read: no transparent decompression.
    request.setRawHeader("Accept-Encoding", "identity");
    // Never a copy kept by a proxy on the way either.
    request.setRawHeader("Cache-Control", "no-cache");
    request.setTransferTimeout(int(std::min<std::int64_t>(m_stallTimeout.count(), std::numeric_limits<int>::max())));
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    // Qt would otherwise keep whatever the server sends beside our own copy of it.
    reply->setReadBufferSize(kReadBufferBytes);
    // The stall time-out starts again with every byte; this one does not. Aborting finishes the reply,
    // which wakes every wait below.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
    deadline.start(int(std::clamp<std::int64_t>(limits.deadline.count(), 0, std::numeric_limits<int>::max())));
    const auto overdue = [&] { return clock.elapsed() >= limits.deadline.count(); };

    while (!hasAnswered(*reply) && !overdue())
        waitForReply(*reply, nullptr);
    if (!hasAnswered(*reply))
        reply->abort();

    // An HTTP error status still has a body (an error page) that the callers judge; only a failure to
    // reach the server at all is reported here.
    if (reply->error() != QNetworkReply::NoError &&
        !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        qCWarning(lcUpdate) << "request failed:" << reply->url() << reply->errorString();
        m_ui.message("Failed to retrieve update:\n" + openingError(*reply));
        return false;
    }

    const std::int64_t length = announcedLength(*reply);
    if (length == 0 || length > limits.maxBytes || (limits.exact && length != limits.maxBytes) || !begin(length))
        return false;

    std::unique_ptr<DownloadProgress> progress;
    if (length > kProgressThreshold && m_progress) {
        progress = m_progress();
        if (progress)
            progress->start("Downloading %d/%d bytes...", 0, length);
    }

    char piece[kPieceSize];
    std::int64_t received = 0;
    bool taken = true;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    while (received < length && taken && !overdue()) {
        if (reply->bytesAvailable() == 0) {
            if (reply->isFinished())
                break;
            waitForReply(*reply, progress.get());
            if (progress && progress->closed())
                break;
            continue;
        }
        const qint64 n = reply->read(piece, std::min(kPieceSize, length - received));
        if (n <= 0)
            break;
        taken = take(piece, n);
        received += n;
        if (progress) {
            progress->setPosition(received);
            // A fast server keeps the buffer full and the loop away from the event loop: let the window
            // repaint and take its Cancel now and then.
            if (sinceEvents.elapsed() >= 20) {
                QCoreApplication::processEvents();
                sinceEvents.restart();
            }
            if (progress->closed())
                break;
        }
    }

    if (!reply->isFinished())
        reply->abort();
    if (progress)
        progress->closeWindow();

    if (received != length || !taken) {
        qCWarning(lcUpdate) << "download ended after" << received << "of" << length << "bytes";
        m_ui.message("Download did not complete");
        return false;
    }
    return true;
}

std::optional<std::vector<char>> Downloader::downloadToMemory(const std::string& address, const BodyLimits& limits)
{
    std::vector<char> block;
    const auto begin = [&block](std::int64_t length) {
        // The whole length is reserved at once; it is bounded, and pages are touched only as bytes arrive.
        try {
            block.reserve(static_cast<std::size_t>(length));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    };
    const auto take = [&block](const char* piece, std::int64_t size) {
        block.insert(block.end(), piece, piece + size);
        return true;
    };
    if (!download(address, limits, begin, take))
        return std::nullopt;
    return block;
}

std::string Downloader::fetchText(const std::string& address, const BodyLimits& limits)
{
    std::optional<std::vector<char>> block = downloadToMemory(address, limits);
    if (!block)
        return {};
    std::string text(block->begin(), block->end());
    if (!text.empty() && text.front() == '<')
        return {};
    return text;
}

bool Downloader::downloadToFile(const std::string& address, const std::string& path, const BodyLimits& limits)
{
    std::ofstream out;
    std::string firstLine;
    bool lineDone = false;
    const auto begin = [&](std::int64_t) {
        out.open(path, std::ios::binary | std::ios::trunc);
        return bool(out);
    };
    const auto take = [&](const char* piece, std::int64_t size) {
        for (std::int64_t i = 0; i < size && !lineDone && firstLine.size() < 5; ++i) {
            if (piece[i] == '\n')
                lineDone = true;
            else
                firstLine += piece[i];
        }
        out.write(piece, std::streamsize(size));
        // A full disk must not pass for a complete download.
        return bool(out);
    };
    if (!download(address, limits, begin, take))
        return false;
    out.close();
    if (!out)
        return false;
    return firstLine.compare(0, 5, "<HTML") != 0;
}

} // namespace marquelo
