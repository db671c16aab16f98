// One main for every test executable: a QApplication on the offscreen platform and a settings
// home and thumbnail cache in a temporary folder, so no test can touch the user's real files or need a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
// The HEVC encoder some tests make their pictures with keeps two small blocks for the life of the
// process; the leak checker would fail every run of those tests for it. Only that library is excused.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libx265.so\n";
}
#endif

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    // Deleted photos go to the desktop trash below the data folder; without it Qt would fall back to a
    // trash beside the photos.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
