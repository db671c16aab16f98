#include "core/viewer/StartPicture.h"

#include "core/settings/AppConfig.h"
#include "core/settings/Logging.h"
#include "core/settings/StartupTrace.h"
#include "core/viewer/ImageOrder.h"
#include "core/viewer/PictureColour.h"
#include "core/viewer/PictureFormats.h"
#include "core/viewer/WorkPools.h"
#include "media/ExceptionText.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>

namespace marquelo {

namespace {

// The go for the decode, given once: by a probe of the screen before Qt, by main() once Qt knows the
// screen, by the cache's claim, or as a withdrawal (nothing).
struct Gate {
    std::promise<std::optional<QSize>> go;
    std::mutex mutex; // guards the two below
    bool given = false;
    QSize fitInto;

    // True when this call gave the go (or the withdrawal); the promise takes only one.
    bool give(std::optional<QSize> fit)
    {
        const std::lock_guard lock(mutex);
        if (given)
            return false;
        given = true;
        if (fit)
            fitInto = *fit;
        go.set_value(fit);
        return true;
    }
    QSize decodedFor()
    {
        const std::lock_guard lock(mutex);
        return fitInto;
    }
};

// A decode for `decodedFor` serves a load for `wanted` when it holds at least as much detail.
bool covers(QSize decodedFor, QSize wanted)
{
    if (decodedFor.isEmpty())
        return true; // full resolution
    return !wanted.isEmpty() && decodedFor.width() >= wanted.width() && decodedFor.height() >= wanted.height();
}

} // namespace

struct StartPicture::State {
    std::string path;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
    // Set when the start picture is withdrawn at the end: a decode still running gives up.
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    // Taken by the claim (GUI thread) only.
    std::shared_future<DecodedPicture> result;
};

std::mutex StartPicture::s_offerMutex;
std::shared_ptr<StartPicture::State> StartPicture::s_offer;

StartPicture::StartPicture(const std::string& path, ScreenProbe probe, DecodedHook decoded)
{
    if (path.empty())
        return;
    std::error_code ec;
    // Absolute now: start-up changes the working folder to the photo's folder before the cache asks.
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec || !std::filesystem::is_regular_file(absolute, ec) ||
        !listedByDefault(std::filesystem::path(path).filename().string()))
        return;
    auto state = std::make_shared<State>();
    state->path = absolute.string();
    // The task holds what it needs on its own: the start picture may be withdrawn while it runs.
    struct Task {
        std::string path;
        std::shared_ptr<Gate> gate;
        std::future<std::optional<QSize>> go;
        ScreenProbe probe;
        DecodedHook decoded;
        std::promise<DecodedPicture> result;
        std::shared_ptr<std::atomic<bool>> done;
        std::shared_ptr<std::atomic<bool>> cancel;
    };
    auto task = std::make_shared<Task>(Task{state->path,
                                            state->gate,
                                            state->gate->go.get_future(),
                                            std::move(probe),
                                            std::move(decoded),
                                            {},
                                            state->done,
                                            state->cancel});
    state->result = task->result.get_future().share();
    // On the loads pool, which does not need Qt's application object: that is being made meanwhile.
    const bool started = workpools::tryRun(workpools::loads(), [task] {
        // The read goes on while Qt starts. The decode needs the screen: asked of the window system
        // here when it can be, else known once Qt has started.
        FileContents contents = readPictureFile(task->path, PictureDecoder::kMaxDecodedBytes);
        if (task->probe) {
            if (const std::optional<Screen> screen = task->probe(); screen && !screen->pixels.isEmpty()) {
                PictureColour::setDisplayProfile(screen->profile);
                task->gate->give(screen->pixels);
            }
        }
        const std::optional<QSize> fit = task->go.get();
        DecodedPicture out;
        try {
            if (fit) {
                startup::mark("decode begun");
                out = PictureDecoder::decodeContents(task->path, std::move(contents), *fit, 0,
                                                     PictureDecoder::kMaxDecodedBytes, 2, task->cancel.get());
            } else
                out.file = contents.status;
        } catch (...) {
            // Out of memory: the picture failed to load, as the cache's own load would report it.
            out = DecodedPicture();
            out.error = QString::fromStdString(media::currentExceptionText());
            out.file = statFile(task->path);
        }
        startup::mark("start photo decoded");
        // Shared, not copied: the hook reads the pixels the cache shows.
        const QImage picture = out.ok ? out.image : QImage();
        const QSize fullSize = out.fullSize;
        task->result.set_value(std::move(out));
        if (task->decoded && !picture.isNull() && !task->cancel->load(std::memory_order_relaxed))
            task->decoded(picture, fullSize);
        task->done->store(true, std::memory_order_release);
    });
    if (!started) {
        qCWarning(lcViewer) << "no thread free to read the start picture ahead";
        return; // the cache loads the picture itself
    }
    const std::lock_guard lock(s_offerMutex);
    s_offer = state;
    m_state = std::move(state);
}

StartPicture::~StartPicture()
{
    if (!m_state)
        return;
    {
        const std::lock_guard lock(s_offerMutex);
        if (s_offer == m_state)
            s_offer.reset();
    }
    m_state->gate->give(std::nullopt);
    // Nobody takes the picture any more. A decode that cannot stop in time (a huge or hostile file) must
    // not hold the program's end: as the cache does with its own loads, it is left to the loads pool,
    // which the program's end waits for a bounded time before it leaves without tearing anything down.
    m_state->cancel->store(true, std::memory_order_relaxed);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    while (!m_state->done->load(std::memory_order_acquire) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!m_state->done->load(std::memory_order_acquire))
        qCWarning(lcViewer) << "the start picture's decode did not stop within 2 s of the end";
}

void StartPicture::screenKnown(QSize fitInto)
{
    if (m_state)
        m_state->gate->give(fitInto);
}

bool StartPicture::started() const
{
    return m_state != nullptr;
}

bool StartPicture::finished() const
{
    return m_state && m_state->done->load(std::memory_order_acquire);
}

std::optional<std::shared_future<DecodedPicture>> StartPicture::claim(const std::string& path, QSize fitInto)
{
    std::shared_ptr<State> state;
    {
        const std::lock_guard lock(s_offerMutex);
        state = std::exchange(s_offer, nullptr);
    }
    if (!state)
        return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::equivalent(state->path, path, ec) || ec) {
        state->gate->give(std::nullopt);
        return std::nullopt;
    }
    // Asked before anyone knew the screen (tests, a platform without one): the cache's size is the one.
    state->gate->give(fitInto);
    if (!covers(state->gate->decodedFor(), fitInto)) {
        // Decoded too small for this screen: the cache decodes again, and nothing keeps this one's pixels.
        state->result = {};
        return std::nullopt;
    }
    // Moved out: once the cache's load has taken the picture, nothing else keeps its pixels alive.
    return std::move(state->result);
}

} // namespace marquelo
