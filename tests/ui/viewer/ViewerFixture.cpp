#include "ViewerFixture.h"

#include <QLabel>

namespace marquelo::test {

QString ViewerFixture::infoText() const
{
    return window->findChild<QLabel*>(QStringLiteral("info"))->text();
}

QString ViewerFixture::fileNameText() const
{
    return window->findChild<QLabel*>(QStringLiteral("fileName"))->toolTip();
}

} // namespace marquelo::test
