// The cull's keys on the real window: stars, reject and labels land in the photo's XMP sidecar, the info
// line and a notice confirm them, and a RAW+JPEG pair is rated as one.
#include "ViewerFixture.h"

#include "media/XmpSidecar.h"
#include "ui/viewer/FileOperations.h"
#include "ui/viewer/NoticeOverlay.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace marquelo::test {
namespace {

const QString kStar = QString(QChar(0x2605));

class CullKeys : public ViewerFixture {
protected:
    QString noticeText() const { return window->notices().text(); }
    media::XmpMarks marksOf(const QString& name) const { return media::readMarks(path(name).toStdString()).marks; }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers) { QTest::keyClick(window.get(), key, modifiers); }
};

TEST_F(CullKeys, StarsRejectAndClearGoToTheSidecarAndTheInfoLine)
{
    makePhotos(3);
    open(0);
    const QByteArray photoBefore = [&] {
        QFile f(path("a.jpg"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(marksOf("a.jpg").rating, 3);
    EXPECT_TRUE(QFile::exists(path("a.jpg.xmp")));
    EXPECT_EQ(infoText(), "1/3 " + kStar.repeated(3));
    EXPECT_EQ(noticeText(), "Rated " + kStar.repeated(3));

    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(marksOf("a.jpg").rating, media::kRatingRejected);
    EXPECT_EQ(infoText(), "1/3 Rejected");
    EXPECT_EQ(noticeText(), "Rejected");

    // Another photo has its own marks; coming back shows the first one's again.
    key(Qt::Key_Right, Qt::NoModifier);
    EXPECT_EQ(infoText(), "2/3");
    key(Qt::Key_Left, Qt::NoModifier);
    EXPECT_EQ(infoText(), "1/3 Rejected");

    key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(marksOf("a.jpg").rating, 0);
    EXPECT_EQ(infoText(), "1/3");
    EXPECT_EQ(noticeText(), "Rating cleared");

    // The digits alone are still the tools and 0 still fits: no sidecar for b.jpg.
    key(Qt::Key_Right, Qt::NoModifier);
    key(Qt::Key_0, Qt::NoModifier);
    EXPECT_FALSE(QFile::exists(path("b.jpg.xmp")));

    QFile f(path("a.jpg"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), photoBefore);
}

TEST_F(CullKeys, LabelKeysSetAndTakeOffTheLabel)
{
    makePhotos(2);
    open(0);
    key(Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(marksOf("a.jpg").label, "Red");
    EXPECT_EQ(noticeText(), "Label: Red");
    EXPECT_EQ(infoText(), "1/2 Red");
    key(Qt::Key_4, Qt::AltModifier);
    EXPECT_EQ(marksOf("a.jpg").label, "Blue");
    key(Qt::Key_4, Qt::AltModifier);
    EXPECT_EQ(marksOf("a.jpg").label, "");
    EXPECT_EQ(noticeText(), "Label cleared");
}

TEST_F(CullKeys, NewSidecarNamedAsTheSettingSays)
{
    makePhotos(1);
    config.SidecarNaming = 1;
    open(0);
    key(Qt::Key_5, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(path("a.xmp")));
    EXPECT_FALSE(QFile::exists(path("a.jpg.xmp")));
}

TEST_F(CullKeys, RawAndJpegPairIsRatedAsOne)
{
    makePhotos(1);
    QFile raw(path("a.dng"));
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    raw.write("not really a raw file");
    raw.close();
    config.PictureExtensions = "*.dng";
    config.BundleRawImages = true;
    open(0);
    ASSERT_EQ(images.count(), 1);
    ASSERT_EQ(images.current().rawCompanion, "a.dng");

    key(Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(marksOf("a.jpg").rating, 4);
    EXPECT_EQ(marksOf("a.dng").rating, 4);
    EXPECT_TRUE(noticeText().contains("a.jpg")) << noticeText().toStdString();
    EXPECT_TRUE(noticeText().contains("a.dng")) << noticeText().toStdString();
}

// a.jpg with its RAW twin a.dng (listed as one entry), then b.jpg.
class CullPairs : public CullKeys {
protected:
    void makePair()
    {
        makePhotos(2);
        QFile raw(path("a.dng"));
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
        raw.write("not really a raw file");
        raw.close();
        config.PictureExtensions = "*.dng";
        config.BundleRawImages = true;
    }
};

TEST_F(CullPairs, DeleteAsksAboutBothAndOneUndoBringsBothBackWithTheirSidecars)
{
    makePair();
    open(0);
    ASSERT_EQ(images.current().rawCompanion, "a.dng");
    key(Qt::Key_2, Qt::ControlModifier);
    ASSERT_TRUE(QFile::exists(path("a.dng.xmp")));

    ui.answers = {UserInterface::Answer::Yes};
    key(Qt::Key_Delete, Qt::NoModifier);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], "Ok to delete 'a.jpg' and its RAW file 'a.dng'?");
    for (const char* gone : {"a.jpg", "a.dng", "a.jpg.xmp", "a.dng.xmp"})
        EXPECT_FALSE(QFile::exists(path(gone))) << gone;
    EXPECT_EQ(images.count(), 1);

    key(Qt::Key_Z, Qt::ControlModifier);
    for (const char* back : {"a.jpg", "a.dng", "a.jpg.xmp", "a.dng.xmp"})
        EXPECT_TRUE(QFile::exists(path(back))) << back;
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(images.current().rawCompanion, "a.dng");
    EXPECT_EQ(marksOf("a.dng").rating, 2);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CullPairs, DeleteOfTheJpegOnlyKeepsTheRawListed)
{
    makePair();
    config.PairDelete = 1;
    open(0);
    ui.answers = {UserInterface::Answer::Yes};
    key(Qt::Key_Delete, Qt::NoModifier);
    EXPECT_EQ(ui.questions.at(0), "Ok to delete 'a.jpg'?");
    EXPECT_FALSE(QFile::exists(path("a.jpg")));
    EXPECT_TRUE(QFile::exists(path("a.dng")));
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(images.currentName(), "a.dng");
    EXPECT_TRUE(images.current().rawCompanion.empty());
}

TEST_F(CullPairs, RenameTakesTheRawAndTheSidecarsAlongOrNothing)
{
    makePair();
    open(0);
    key(Qt::Key_3, Qt::ControlModifier);
    ASSERT_TRUE(renameCurrentImage(images, window->cache(), ui, QStringLiteral("harbour.jpg")));
    for (const char* moved : {"harbour.jpg", "harbour.dng", "harbour.jpg.xmp", "harbour.dng.xmp"})
        EXPECT_TRUE(QFile::exists(path(moved))) << moved;
    for (const char* gone : {"a.jpg", "a.dng", "a.jpg.xmp", "a.dng.xmp"})
        EXPECT_FALSE(QFile::exists(path(gone))) << gone;
    EXPECT_EQ(images.current().rawCompanion, "harbour.dng");

    // The RAW's new name is taken: nothing moves, and the refusal names that file.
    QFile taken(path("quay.dng"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    EXPECT_EQ(renameRefusal(images, QStringLiteral("quay.jpg")),
              QStringLiteral("A file named 'quay.dng' already exists."));
    EXPECT_FALSE(renameCurrentImage(images, window->cache(), ui, QStringLiteral("quay.jpg")));
    EXPECT_TRUE(QFile::exists(path("harbour.jpg")));
    EXPECT_TRUE(QFile::exists(path("harbour.dng")));
}

TEST_F(CullPairs, SendToMovesThePairWithItsSidecarsAndCtrlZBringsItBack)
{
    makePair();
    config.SendTo1Directory = path("keep").toStdString();
    open(0);
    key(Qt::Key_5, Qt::ControlModifier);
    key(Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier);
    for (const char* moved : {"keep/a.jpg", "keep/a.dng", "keep/a.jpg.xmp", "keep/a.dng.xmp"})
        EXPECT_TRUE(QFile::exists(path(moved))) << moved;
    EXPECT_FALSE(QFile::exists(path("a.jpg")));
    EXPECT_EQ(images.count(), 1);
    EXPECT_EQ(images.currentName(), "b.jpg");
    EXPECT_TRUE(noticeText().startsWith("Moved to " + path("keep"))) << noticeText().toStdString();

    key(Qt::Key_Z, Qt::ControlModifier);
    for (const char* back : {"a.jpg", "a.dng", "a.jpg.xmp", "a.dng.xmp"})
        EXPECT_TRUE(QFile::exists(path(back))) << back;
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(images.currentName(), "a.jpg");
    EXPECT_EQ(images.current().rawCompanion, "a.dng");
    EXPECT_EQ(infoText(), "1/2 " + kStar.repeated(5));
}

TEST_F(CullPairs, SendToNeverReplacesAFileOfTheSameName)
{
    makePair();
    config.SendTo2Directory = path("keep").toStdString();
    ASSERT_TRUE(QDir().mkpath(path("keep")));
    QFile there(path("keep/a.dng"));
    ASSERT_TRUE(there.open(QIODevice::WriteOnly));
    there.write("someone else's photo");
    there.close();
    open(0);
    key(Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier); // Ctrl+Shift+2 on a US layout
    EXPECT_TRUE(QFile::exists(path("keep/a-1.jpg")));
    EXPECT_TRUE(QFile::exists(path("keep/a-1.dng")));
    EXPECT_TRUE(noticeText().contains("as a-1.jpg")) << noticeText().toStdString();
    QFile kept(path("keep/a.dng"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "someone else's photo");

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_TRUE(QFile::exists(path("a.dng")));
    EXPECT_TRUE(QFile::exists(path("keep/a.dng")));
}

TEST_F(CullKeys, SendToAFolderNotSetSaysSoAndMovesNothing)
{
    makePhotos(2);
    open(0);
    key(Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(QFile::exists(path("a.jpg")));
    EXPECT_EQ(images.count(), 2);
    EXPECT_EQ(noticeText(), "Send-to folder 3 is not set (Preferences, Misc)");
}

TEST_F(CullKeys, UnreadableSidecarShowsNoRatingUntilRatedThenIsKeptAsBak)
{
    makePhotos(1);
    {
        QFile bad(path("a.jpg.xmp"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("this is not XMP");
    }
    open(0);
    EXPECT_EQ(infoText(), "1/1");
    EXPECT_TRUE(noticeText().startsWith("Rating not read")) << noticeText().toStdString();

    key(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(marksOf("a.jpg").rating, 2);
    EXPECT_TRUE(noticeText().contains("a.jpg.xmp.bak")) << noticeText().toStdString();
    QFile kept(path("a.jpg.xmp.bak"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "this is not XMP");
}

} // namespace
} // namespace marquelo::test
