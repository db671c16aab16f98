#include "ui/viewer/ImageInfoDialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace marquelo {

ImageInfoDialog::ImageInfoDialog(const ImageInfoTexts& texts, QWidget* parent) : QDialog(parent), m_texts(texts)
{
    setWindowTitle(texts.title);

    // The path sits in a read-only box so that a long one can be scrolled and copied.
    auto* path = new QLineEdit(texts.path, this);
    path->setObjectName(QStringLiteral("path"));
    path->setReadOnly(true);
    path->setCursorPosition(0);
    path->setMinimumWidth(360);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Filename:"), path);
    auto addText = [&](const QString& label, const QString& text, const char* name) {
        auto* value = new QLabel(text, this);
        // File names and what a camera wrote are shown as they are, never as markup.
        value->setTextFormat(Qt::PlainText);
        value->setObjectName(QLatin1String(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, value);
    };
    addText(QStringLiteral("Size:"), texts.size, "size");
    addText(QStringLiteral("File size:"), texts.fileSize, "fileSize");
    addText(QStringLiteral("Edited:"), texts.edited, "edited");
    if (!texts.rawCompanion.isEmpty())
        addText(QStringLiteral("RAW file:"), texts.rawCompanion, "rawCompanion");
    if (!texts.rendering.isEmpty())
        addText(QStringLiteral("Shown:"), texts.rendering, "rendering");
    if (!texts.problem.isEmpty()) {
        // A sentence of its own across both columns: it says why the size above is unknown.
        auto* problem = new QLabel(texts.problem, this);
        problem->setObjectName(QStringLiteral("problem"));
        problem->setTextFormat(Qt::PlainText);
        problem->setWordWrap(true);
        problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(problem);
    }

    const PhotoDetails& d = texts.details;
    const auto addDetail = [&](const QString& label, const QString& text, const char* name) {
        if (!text.isEmpty())
            addText(label, text, name);
    };
    addDetail(QStringLiteral("Camera:"), d.camera, "camera");
    addDetail(QStringLiteral("Lens:"), d.lens, "lens");
    addDetail(QStringLiteral("Exposure:"), d.exposureTime, "exposure");
    addDetail(QStringLiteral("Aperture:"), d.fNumber, "aperture");
    addDetail(QStringLiteral("ISO:"), d.iso, "iso");
    addDetail(QStringLiteral("Focal length:"), d.focalLength, "focalLength");
    if (d.taken.isValid())
        addText(QStringLiteral("Date taken:"), QLocale::system().toString(d.taken, QLocale::ShortFormat), "taken");
    if (d.hasGps()) {
        auto* place = new QWidget(this);
        auto* row = new QHBoxLayout(place);
        row->setContentsMargins(0, 0, 0, 0);
        auto* position = new QLabel(gpsText(*d.latitude, *d.longitude), place);
        position->setObjectName(QStringLiteral("gps"));
        position->setTextFormat(Qt::PlainText);
        position->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* map = new QPushButton(QStringLiteral("Show on &map"), place);
        map->setObjectName(QStringLiteral("map"));
        map->setAutoDefault(false);
        const QUrl address(mapAddress(*d.latitude, *d.longitude));
        connect(map, &QPushButton::clicked, this, [address] { QDesktopServices::openUrl(address); });
        row->addWidget(position);
        row->addWidget(map);
        row->addStretch();
        form->addRow(QStringLiteral("Position:"), place);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

} // namespace marquelo
