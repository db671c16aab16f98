#include "media/Exiv2Library.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

namespace marquelo::media {

void startExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Its warnings about odd maker notes would fill the terminal; callers report damage themselves.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
#ifdef EXV_ENABLE_BMFF
        Exiv2::enableBMFF(true);
#endif
    });
}

} // namespace marquelo::media
