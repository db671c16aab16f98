#include "ui/page/ClosePageDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace marquelo {

ClosePageDialog::ClosePageDialog(const QString& question, std::function<void()> preview, QWidget* parent,
                                 std::function<void()> openFolder, bool canPublish)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Close Page?"));
    auto* picture = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(side, side));
    picture->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(question, this);
    text->setObjectName(QStringLiteral("question"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setMinimumWidth(320);

    auto* close = new QPushButton(QStringLiteral("&Close Page"), this);
    close->setObjectName(QStringLiteral("closePage"));
    close->setDefault(true);
    auto* browser = new QPushButton(QStringLiteral("&Browser Preview"), this);
    browser->setObjectName(QStringLiteral("browserPreview"));
    // Enter presses the focused button; Close Page only when no other button has the focus.
    browser->setAutoDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browser, &QPushButton::clicked, this, [preview = std::move(preview)] {
        if (preview)
            preview();
    });

    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    buttons->addWidget(browser);
    if (openFolder) {
        auto* folder = new QPushButton(QStringLiteral("Open &Folder"), this);
        folder->setObjectName(QStringLiteral("openFolder"));
        folder->setAutoDefault(true);
        connect(folder, &QPushButton::clicked, this, [openFolder = std::move(openFolder)] { openFolder(); });
        auto* publish = new QPushButton(QStringLiteral("Close and &Publish"), this);
        publish->setObjectName(QStringLiteral("closeAndPublish"));
        publish->setAutoDefault(true);
        publish->setEnabled(canPublish);
        publish->setToolTip(canPublish ? QStringLiteral("Closes the page, then runs the publish command on its folder")
                                       : QStringLiteral("Set a publish command under Preferences, HTML Creation"));
        connect(publish, &QPushButton::clicked, this, [this] { done(kCloseAndPublish); });
        buttons->addWidget(folder);
        buttons->addWidget(publish);
    }
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

} // namespace marquelo
