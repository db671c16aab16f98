// Files that only look like photos in the folder the user opens (as an unpacked archive can carry
// them): FIFOs, symlinks to endless devices, decompression and scan bombs, files no decoder reads.
// Stepping over them, zooming into them and the change check never hang the window or read them again
// on every tick, and Escape still ends the program.
#include "harness/ProgramSession.h"

#include "core/viewer/ImageList.h"
#include "core/viewer/PictureCache.h"
#include "support/HostilePictures.h"
#include "ui/viewer/ViewerWindow.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

TEST(HostilePictureFaults, SteppingZoomingAndLeavingOverHostileFilesNeverHangs)
{
    ProgramSession session;
    session.settings().Sorting = 1; // by name
    session.settings().CacheDepth = 1;
    session.settings().ReadAhead = true;
    const std::string dir = session.photos();
    ASSERT_EQ(copyCorpusPhotos(dir, 2, 600).size(), 2u); // photo-01.jpg, photo-02.jpg
    Fifo fifo(dir + "/photo-01-fifo.jpg");               // next to photo-01: read ahead while it is shown
    fs::create_symlink("/dev/zero", dir + "/photo-03-zero.jpg");
    fs::create_symlink("/dev/urandom", dir + "/photo-04-random.jpg");
    ASSERT_TRUE(writeProgressiveJpeg(dir + "/photo-05-scans.jpg", QSize(1024, 1024), 10));
    ASSERT_TRUE(writePngClaiming(dir + "/photo-06-png-bomb.jpg", QSize(16385, 16384)));
    ASSERT_TRUE(writePngClaiming(dir + "/photo-07-png-wide.jpg", QSize(1 << 30, 1)));
    std::ofstream(dir + "/photo-08-empty.jpg").flush();
    {
        std::ofstream zeros(dir + "/photo-09-zeros.jpg", std::ios::binary);
        const std::string block(1 << 20, '\0');
        for (int i = 0; i < 16; ++i)
            zeros << block;
    }

    std::map<std::string, bool> loaded;
    bool exited = false;
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        ImageList& images = window.images();
        QSignalSpy exits(&window, &ViewerWindow::exitRequested);
        window.runCommand(Command::First);
        for (int i = 0; i < images.count(); ++i) {
            if (i > 0)
                window.runCommand(Command::Next);
            settle(30);
            const std::string name = images.currentName();
            // Zoom in: on a photo a sharper copy is decoded on a worker; on the others nothing happens.
            window.runCommand(Command::Enlarge);
            window.runCommand(Command::Enlarge);
            settle(30);
            const auto slot = window.cache().currentSlot();
            for (int tick = 0; tick < 4; ++tick) {
                tickChangeCheck(window);
                settle(5);
            }
            EXPECT_EQ(window.cache().currentSlot(), slot) << name << ": read again without a change";
            loaded[name] = window.cache().shown().loaded;
        }

        // The shown photo replaced by a FIFO: the change check neither blocks nor keeps reloading.
        const auto first = images.findByName("photo-01.jpg");
        ASSERT_TRUE(first);
        images.setCurrent(first->index);
        window.showCurrent();
        settle(30);
        ASSERT_TRUE(window.cache().shown().loaded);
        fs::remove(dir + "/photo-01.jpg");
        Fifo replacement(dir + "/photo-01.jpg");
        tickChangeCheck(window);
        settle(30);
        EXPECT_FALSE(window.cache().shown().loaded);
        const auto slot = window.cache().currentSlot();
        tickChangeCheck(window);
        EXPECT_EQ(window.cache().currentSlot(), slot);
        EXPECT_FALSE(replacement.released()) << "something waited on the FIFO that replaced the photo";

        // Escape with the FIFO neighbour read ahead.
        window.runCommand(Command::Next);
        window.runCommand(Command::Previous);
        settle(30);
        QTest::keyClick(&window, Qt::Key_Escape);
        exited = exits.count() == 1;
    }));
    EXPECT_TRUE(exited);
    EXPECT_FALSE(fifo.released()) << "something waited on the FIFO neighbour";
    ASSERT_EQ(loaded.size(), 10u);
    for (const auto& [name, ok] : loaded)
        EXPECT_EQ(ok, name == "photo-01.jpg" || name == "photo-02.jpg") << name;
}

} // namespace
} // namespace marquelo::test
