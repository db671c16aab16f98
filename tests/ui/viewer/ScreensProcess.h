#pragma once
// Qt's offscreen platform takes its screens (names, sizes, places) from a file named when the
// application starts, so a test that needs particular monitors runs in a process of its own: this
// executable again, with only the tests of `filter`, which skip unless kScreensChild is set.

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace marquelo::test {

inline constexpr char kScreensChild[] = "MARQUELO_SCREENS_CHILD";

inline bool inScreensChild()
{
    return !qEnvironmentVariableIsEmpty(kScreensChild);
}

// Runs the tests of `filter` on the offscreen screens of `screensJson`; events of this process are
// served while they run (a bus service the child talks to may live here). Fails unless exactly one
// test ran and passed.
inline void runWithScreens(const QByteArray& screensJson, const QString& filter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(screensJson);
    file.close();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    env.insert(QString::fromLatin1(kScreensChild), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    // Earlier tests may have left this process in a folder that is gone; the child must start somewhere.
    child.setWorkingDirectory(dir.path());
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
    ASSERT_TRUE(child.waitForStarted(30'000));
    for (int waited = 0; child.state() != QProcess::NotRunning && waited < 300'000; waited += 10) {
        QCoreApplication::processEvents();
        child.waitForFinished(10);
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test."))) << output.toStdString();
}

} // namespace marquelo::test
