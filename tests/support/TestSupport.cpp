#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>

namespace marquelo::test {

std::string buildDir()
{
    if (const char* dir = std::getenv("MARQUELO_BUILD_DIR"))
        return dir;
    // Test executables live in <build>/tests; the programs in <build>/src.
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath().toStdString();
}

std::string builtProgram(const std::string& name)
{
    return buildDir() + "/src/" + name;
}

} // namespace marquelo::test
