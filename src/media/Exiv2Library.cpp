#include "media/Exiv2Library.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace marquelo::media {

namespace {

// A sidecar or photo read on a worker registers the namespaces it meets in the XMP toolkit's one
// registry, which other threads read at the same time; libexiv2 serializes that with this lock.
void lockXmpRegistry(void* data, bool lock)
{
    auto* mutex = static_cast<std::recursive_mutex*>(data);
    if (lock)
        mutex->lock();
    else
        mutex->unlock();
}

} // namespace

void startExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Its warnings about odd maker notes would fill the terminal; callers report damage themselves.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        static std::recursive_mutex registry;
        Exiv2::XmpParser::initialize(lockXmpRegistry, &registry);
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF(true);
#endif
    });
}

} // namespace marquelo::media
