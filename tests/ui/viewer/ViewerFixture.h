#pragma once
// A real viewer window over a temporary folder of small generated photos, driven offscreen.

#include "core/viewer/ImageList.h"
#include "support/ScriptedUserInterface.h"
#include "ui/viewer/ViewerWindow.h"

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace marquelo::test {

// Writes a JPEG of one colour (or with a left and right half of two colours).
inline void writePhoto(const QString& path, QSize size, QColor colour, QColor rightHalf = QColor())
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (rightHalf.isValid()) {
        for (int y = 0; y < size.height(); ++y)
            for (int x = size.width() / 2; x < size.width(); ++x)
                image.setPixelColor(x, y, rightHalf);
    }
    ASSERT_TRUE(image.save(path, "JPG", 95)) << path.toStdString();
}

// True when two colours are the same within JPEG's rounding.
inline bool near(QColor a, QColor b, int tolerance = 24)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class ViewerFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    AppConfig config;
    ImageList images;
    ScriptedUserInterface ui;
    std::unique_ptr<ViewerWindow> window;

    ViewerFixture()
    {
        config.StartMaximized = false;
        config.EditFileSuffix = "_edit";
        config.OtherExtensions = "*.avi";
        config.ImageEditApp = "gimp";
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // Photos a.jpg, b.jpg, ... in distinct colours, 160 x 120.
    void makePhotos(int count)
    {
        for (int i = 0; i < count; ++i)
            writePhoto(path(QStringLiteral("%1.jpg").arg(QChar('a' + i))), QSize(160, 120), colourOf(i));
    }

    static QColor colourOf(int i)
    {
        static const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};
        return colours[i % 6];
    }

    // Scans the folder by name and opens the window on entry `current`.
    void open(int current = 0)
    {
        config.Sorting = 1;
        ASSERT_TRUE(images.scanDirectory(dir.path().toStdString(), config));
        images.setCurrent(current);
        window = std::make_unique<ViewerWindow>(config, images, ui);
        window->resize(800, 600);
        window->show();
        window->showCurrent();
    }

    QColor pixelAt(int x, int y) const { return window->grab().toImage().pixelColor(x, y); }
    QColor centre() const { return pixelAt(window->width() / 2, window->height() / 2); }
    QString infoText() const;
    QString fileNameText() const;
};

} // namespace marquelo::test
