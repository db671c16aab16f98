#pragma once
// Shows the upgrade page when no version number could be had from the update endpoint.

#include <string>

namespace marquelo {

class UpgradePageViewer {
public:
    virtual ~UpgradePageViewer() = default;

    // Opens the page at `localPath` (the installation's own upgrade.html) for the user; false when nothing
    // could be shown at all.
    virtual bool show(const std::string& localPath) = 0;
};

} // namespace marquelo
