#pragma once
// Shows the upgrade page: the installation's own upgrade.html in the desktop's browser when there is one,
// else the program's built-in page in a window of its own.

#include "core/update/UpgradePageViewer.h"

class QWidget;

namespace marquelo {

class DesktopUpgradePage : public UpgradePageViewer {
public:
    explicit DesktopUpgradePage(QWidget* parent = nullptr) : m_parent(parent) {}

    // Always shows something, so it reports true unless even the built-in page is missing.
    bool show(const std::string& localPath) override;

private:
    QWidget* m_parent;
};

} // namespace marquelo
