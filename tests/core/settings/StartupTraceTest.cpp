#include "core/settings/StartupTrace.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace marquelo {
namespace {

// The start-up benchmark reads one line per step: a step marked again (every paint marks the first
// frame) is written once, times never run backwards, and the library count is a real one.
TEST(StartupTrace, EachStepOnceWithItsTimeAndLibraries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.tsv"));
    ::setenv("MARQUELO_STARTUP_TRACE", path.toLocal8Bit().constData(), 1);
    startup::mark("main");
    startup::mark("window mapped");
    startup::mark("main");
    startup::mark("first frame with the picture");
    ::unsetenv("MARQUELO_STARTUP_TRACE");

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const QByteArray steps[] = {"main", "window mapped", "first frame with the picture"};
    qint64 previous = 0;
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        ASSERT_EQ(fields.size(), 3) << lines[i].constData();
        EXPECT_EQ(fields[0], steps[i]);
        EXPECT_GE(fields[1].toLongLong(), previous);
        previous = fields[1].toLongLong();
        EXPECT_GT(fields[2].toInt(), 0); // at least the C library
    }
}

} // namespace
} // namespace marquelo
