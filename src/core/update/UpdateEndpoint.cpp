#include "core/update/UpdateEndpoint.h"

#include <QString>
#include <QtGlobal>

namespace marquelo {

namespace {
// Where releases are published (see tools/release/README.md).
constexpr const char* kDefaultBaseAddress = "https://marquelo.org/marquelo/";
} // namespace

std::string updateBaseAddress()
{
    std::string base = qEnvironmentVariable("MARQUELO_UPDATE_URL").toStdString();
    if (base.empty())
        base = kDefaultBaseAddress;
    if (base.back() != '/')
        base += '/';
    return base;
}

} // namespace marquelo
