#include "ui/viewer/ViewerResources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initViewerResources()
{
    Q_INIT_RESOURCE(viewer);
}

namespace marquelo {

void ensureViewerResources()
{
    static const bool done = [] {
        initViewerResources();
        return true;
    }();
    (void)done;
}

} // namespace marquelo
