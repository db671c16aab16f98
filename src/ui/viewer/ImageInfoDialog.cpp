#include "ui/viewer/ImageInfoDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
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

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

} // namespace marquelo
