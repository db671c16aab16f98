#pragma once
// The progress window a large download shows, as the downloading code sees it. The ui floor implements it
// with a modal dialog; the download keeps the GUI responsive while it waits, so the dialog can be cancelled.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace marquelo {

class DownloadProgress {
public:
    virtual ~DownloadProgress() = default;

    // Opens the window with a caption made from `format` (two %d: bytes so far, total), first filled with
    // 0 and 100, and sets the bar's range to lower..upper without refreshing the caption.
    virtual void start(const std::string& format, std::int64_t lower, std::int64_t upper) = 0;

    // Moves the bar to `position` and refreshes the caption with it and the range's upper bound.
    virtual void setPosition(std::int64_t position) = 0;

    // Ends the window as its Cancel button does; harmless when it has already ended.
    virtual void closeWindow() = 0;

    // True once the window has ended, for whatever reason (Cancel, Escape, close box or closeWindow()).
    virtual bool closed() const = 0;
};

// Makes a fresh progress window for one download; a window is never reused.
using DownloadProgressFactory = std::function<std::unique_ptr<DownloadProgress>()>;

} // namespace marquelo
