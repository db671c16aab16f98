// A picture the decoders reject says why, in the image information and under the no-picture sign.
#include "ViewerFixture.h"

#include "support/TestSupport.h"

#include "core/viewer/PictureCache.h"
#include "ui/viewer/FileOperations.h"
#include "ui/viewer/ImageInfoDialog.h"
#include "ui/viewer/Placeholders.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace marquelo::test {
namespace {

class PictureFailure : public ViewerFixture {
protected:
    void writeBytes(const QString& name, const QByteArray& bytes)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void waitForLoad()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!window->cache().shown().loading, 5000);
        QApplication::processEvents();
    }

    // The text the image information dialog shows below its rows, read from the open dialog.
    QString problemInDialog()
    {
        QString shown = QStringLiteral("<no dialog>");
        QTimer::singleShot(0, [&shown] {
            auto* dialog = qobject_cast<ImageInfoDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* label = dialog->findChild<QLabel*>(QStringLiteral("problem"));
            shown = label ? label->text() : QString();
            dialog->accept();
        });
        QTest::keyClick(window.get(), Qt::Key_Return, Qt::AltModifier);
        return shown;
    }

    // Dark pixels (text) in the band below the no-picture sign, where the window is otherwise the plain
    // label colour.
    int darkPixelsBelowSign() const
    {
        const QImage shot = window->grab().toImage();
        const int top = (window->height() + placeholderSize(Placeholder::NoPicture).height()) / 2 + 4;
        int dark = 0;
        for (int y = top; y < std::min(top + 40, shot.height()); ++y)
            for (int x = 0; x < shot.width(); ++x)
                dark += qGray(shot.pixel(x, y)) < 128;
        return dark;
    }
};

TEST_F(PictureFailure, ARejectedPictureShowsItsReasonInTheInformationAndThePlaceholder)
{
    writePhoto(path("a.jpg"), QSize(160, 120), Qt::red);
    writeBytes(QStringLiteral("b.jpg"), "a letter, not a picture");
    QFile camera(QString::fromStdString(photo("camera/nikon_coolpix_p6000_gps.jpg")));
    ASSERT_TRUE(camera.open(QIODevice::ReadOnly));
    // Cut inside its EXIF block, before the picture's own header.
    writeBytes(QStringLiteral("c.jpg"), camera.read(3000));

    open(1);
    waitForLoad();
    ASSERT_FALSE(window->cache().shown().loaded);
    const QString notAPicture = QStringLiteral("Cannot read this picture: not a picture Marquelo can read");
    EXPECT_EQ(imageInfoTexts(images, window->geometry()).problem, notAPicture);
    EXPECT_EQ(problemInDialog(), notAPicture);
    EXPECT_GT(darkPixelsBelowSign(), 20) << "the reason is drawn under the sign";

    QTest::keyClick(window.get(), Qt::Key_Right);
    waitForLoad();
    ASSERT_EQ(images.currentIndex(), 2);
    const QString endsEarly = QStringLiteral("Cannot read this picture: the file ends early");
    EXPECT_EQ(imageInfoTexts(images, window->geometry()).problem, endsEarly);
    EXPECT_EQ(problemInDialog(), endsEarly);

    // A picture that loads has no such line.
    QTest::keyClick(window.get(), Qt::Key_Home);
    waitForLoad();
    ASSERT_EQ(images.currentIndex(), 0);
    EXPECT_TRUE(imageInfoTexts(images, window->geometry()).problem.isEmpty());
    EXPECT_EQ(problemInDialog(), QString());
}

TEST(ImageInfoDialog, ShowsTheProblemAsPlainText)
{
    ImageInfoTexts texts;
    texts.title = QStringLiteral("x.jpg");
    texts.problem = cannotReadText(QStringLiteral("the file is damaged (<b>bad</b>)"));
    ImageInfoDialog dialog(texts);
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("problem"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Cannot read this picture: the file is damaged (<b>bad</b>)"));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

} // namespace
} // namespace marquelo::test
