#include "ui/page/PagePropertiesDialog.h"

#include "core/UserInterface.h"
#include "ui/page/LayoutPreview.h"
#include "ui/settings/Choosers.h"
#include "ui/settings/FormBuilder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace marquelo {

namespace {

constexpr int kFieldLimit = 258;
constexpr int kSubdirectoryLimit = 64;

QFrame* swatch(QWidget* parent, const QString& name)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::Box);
    frame->setFixedSize(36, 20);
    frame->setAutoFillBackground(true);
    return frame;
}

void paintSwatch(QFrame* frame, ColourRef colour)
{
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(colourRed(colour), colourGreen(colour), colourBlue(colour)));
    frame->setPalette(palette);
    frame->update();
}

} // namespace

PagePropertiesDialog::PagePropertiesDialog(const PageSetupValues& initial, bool createSubdirectory, UserInterface& ui,
                                           QWidget* parent)
    : QDialog(parent), m_ui(ui), m_createSubdirectory(createSubdirectory), m_bgColor(initial.bgColor),
      m_textColor(initial.textColor), m_linkColor(initial.linkColor)
{
    setWindowTitle(QStringLiteral("Page Properties"));
    m_pickColour = [this](ColourRef& colour) { return pickColour(this, colour); };

    // Made in the order the keyboard goes through them.
    QGroupBox* titleGroup = makeTitleGroup(initial);
    QGroupBox* dateGroup = makeDateGroup(initial);
    QGroupBox* imageGroup = makeImageGroup(initial);
    QGroupBox* colourGroup = makeColourGroup(initial);
    QGroupBox* layoutGroup = makeLayoutGroup(initial);
    QGroupBox* styleGroup = makeStyleGroup(initial);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    placeCells(new QGridLayout(this), {{titleGroup, 0, 0, 1, 3},
                                       {dateGroup, 1, 0, 1, 3},
                                       {imageGroup, 2, 0, 1, 3},
                                       {colourGroup, 3, 0},
                                       {layoutGroup, 3, 1},
                                       {styleGroup, 3, 2},
                                       {buttons, 4, 0, 1, 3}});
    m_title->setFocus();
}

QGroupBox* PagePropertiesDialog::makeTitleGroup(const PageSetupValues& initial)
{
    auto* titleGroup = new QGroupBox(QStringLiteral("Title"), this);
    m_title = new QLineEdit(QString::fromStdString(initial.title), titleGroup);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setMaxLength(kFieldLimit);
    m_title->setMinimumWidth(300);
    auto* subLabel = new QLabel(QStringLiteral("&Subdirectory"), titleGroup);
    m_subdirectory = new QLineEdit(titleGroup);
    m_subdirectory->setObjectName(QStringLiteral("subdirectory"));
    m_subdirectory->setMaxLength(kSubdirectoryLimit);
    subLabel->setBuddy(m_subdirectory);
    auto* titleLayout = new QGridLayout(titleGroup);
    titleLayout->addWidget(m_title, 0, 0, 1, 2);
    titleLayout->addWidget(subLabel, 1, 0);
    titleLayout->addWidget(m_subdirectory, 1, 1);
    if (m_createSubdirectory) {
        m_subdirectory->setText(QString::fromStdString(subdirectoryForTitle(initial.title)));
        m_subdirFollowsTitle = true;
    } else {
        subLabel->setEnabled(false);
        m_subdirectory->setEnabled(false);
    }
    connect(m_title, &QLineEdit::textChanged, this, &PagePropertiesDialog::titleChanged);
    // Only the user's own typing counts; what the dialog writes into the box comes through setText.
    connect(m_subdirectory, &QLineEdit::textEdited, this, [this] { m_subdirFollowsTitle = false; });
    return titleGroup;
}

QGroupBox* PagePropertiesDialog::makeDateGroup(const PageSetupValues& initial)
{
    auto* dateGroup = new QGroupBox(QStringLiteral("Date"), this);
    m_datePickerMode = new QRadioButton(dateGroup);
    m_datePickerMode->setObjectName(QStringLiteral("datePickerMode"));
    m_datePickerMode->setAccessibleName(QStringLiteral("Date from the calendar"));
    m_dateTextMode = new QRadioButton(dateGroup);
    m_dateTextMode->setObjectName(QStringLiteral("dateTextMode"));
    m_dateTextMode->setAccessibleName(QStringLiteral("Date as free text"));
    m_date = new QDateEdit(initial.date.isValid() ? initial.date : QDate::currentDate(), dateGroup);
    m_date->setObjectName(QStringLiteral("date"));
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("MMMM d, yyyy"));
    m_dateText = new QLineEdit(QString::fromStdString(initial.dateText), dateGroup);
    m_dateText->setObjectName(QStringLiteral("dateText"));
    m_dateText->setMaxLength(kFieldLimit);
    auto* dateLayout = new QGridLayout(dateGroup);
    dateLayout->addWidget(m_datePickerMode, 0, 0);
    dateLayout->addWidget(m_date, 0, 1);
    dateLayout->addWidget(m_dateTextMode, 1, 0);
    dateLayout->addWidget(m_dateText, 1, 1);
    dateLayout->setColumnStretch(1, 1);
    (initial.dateMode == 1 ? m_dateTextMode : m_datePickerMode)->setChecked(true);
    connect(m_datePickerMode, &QRadioButton::toggled, this, &PagePropertiesDialog::updateDateMode);
    updateDateMode();
    return dateGroup;
}

QGroupBox* PagePropertiesDialog::makeImageGroup(const PageSetupValues& initial)
{
    auto* imageGroup = new QGroupBox(QStringLiteral("Background Image"), this);
    m_bgImage = new QLineEdit(QString::fromStdString(initial.bgImage), imageGroup);
    m_bgImage->setObjectName(QStringLiteral("bgImage"));
    m_bgImage->setMaxLength(kFieldLimit);
    auto* browse = new QPushButton(QStringLiteral("Bro&wse..."), imageGroup);
    auto* imageLayout = new QHBoxLayout(imageGroup);
    imageLayout->addWidget(m_bgImage, 1);
    imageLayout->addWidget(browse);
    connect(browse, &QPushButton::clicked, this,
            [this] { browseForImage(this, QStringLiteral("Select background image"), m_bgImage); });
    return imageGroup;
}

QGroupBox* PagePropertiesDialog::makeColourGroup(const PageSetupValues& initial)
{
    auto* colourGroup = new QGroupBox(QStringLiteral("Colors"), this);
    auto* bgButton = new QPushButton(QStringLiteral("&Background"), colourGroup);
    auto* textButton = new QPushButton(QStringLiteral("&Text"), colourGroup);
    m_linkButton = new QPushButton(QStringLiteral("L&inks"), colourGroup);
    m_bgSwatch = swatch(colourGroup, QStringLiteral("bgSwatch"));
    m_textSwatch = swatch(colourGroup, QStringLiteral("textSwatch"));
    m_linkSwatch = swatch(colourGroup, QStringLiteral("linkSwatch"));
    m_autoLink = new QCheckBox(QStringLiteral("&Automatic link color"), colourGroup);
    m_autoLink->setObjectName(QStringLiteral("autoLink"));
    m_autoLink->setChecked(initial.autoLinkColor);
    auto* colourLayout = new QGridLayout(colourGroup);
    colourLayout->addWidget(bgButton, 0, 0);
    colourLayout->addWidget(m_bgSwatch, 0, 1);
    colourLayout->addWidget(textButton, 1, 0);
    colourLayout->addWidget(m_textSwatch, 1, 1);
    colourLayout->addWidget(m_autoLink, 2, 0, 1, 2);
    colourLayout->addWidget(m_linkButton, 3, 0);
    colourLayout->addWidget(m_linkSwatch, 3, 1);
    connect(bgButton, &QPushButton::clicked, this, [this] { pick(m_bgColor, m_bgSwatch); });
    connect(textButton, &QPushButton::clicked, this, [this] {
        pick(m_textColor, m_textSwatch);
        applyAutoLink();
    });
    connect(m_linkButton, &QPushButton::clicked, this, [this] { pick(m_linkColor, m_linkSwatch); });
    connect(m_autoLink, &QCheckBox::toggled, this, &PagePropertiesDialog::applyAutoLink);
    paintSwatch(m_bgSwatch, m_bgColor);
    paintSwatch(m_textSwatch, m_textColor);
    applyAutoLink();
    return colourGroup;
}

QGroupBox* PagePropertiesDialog::makeLayoutGroup(const PageSetupValues& initial)
{
    auto* layoutGroup = new QGroupBox(QStringLiteral("Layout"), this);
    m_layout = new QButtonGroup(this);
    auto* radios = new QVBoxLayout;
    addRadioButtons(m_layout, QStringLiteral("layout"), {"&Center", "&Left", "&Right", "L&/R"}, layoutGroup, radios);
    radios->addStretch();
    m_preview = new QLabel(layoutGroup);
    m_preview->setObjectName(QStringLiteral("layoutPreview"));
    auto* layoutLayout = new QHBoxLayout(layoutGroup);
    layoutLayout->addLayout(radios);
    layoutLayout->addWidget(m_preview);
    const int layout = initial.layoutStyle >= 0 && initial.layoutStyle <= 3 ? initial.layoutStyle : 0;
    m_layout->button(layout)->setChecked(true);
    showLayout(layout);
    connect(m_layout, &QButtonGroup::idClicked, this, &PagePropertiesDialog::showLayout);
    return layoutGroup;
}

QGroupBox* PagePropertiesDialog::makeStyleGroup(const PageSetupValues& initial)
{
    // Style, beside the layout: the same layouts, written as a Classic or a Modern page.
    auto* styleGroup = new QGroupBox(QStringLiteral("Page style"), this);
    m_style = new QButtonGroup(this);
    auto* styleLayout = new QVBoxLayout(styleGroup);
    addRadioButtons(m_style, QStringLiteral("pageStyle"), {"Classic", "Modern"}, styleGroup, styleLayout);
    styleLayout->addStretch();
    m_style->button(initial.pageStyle == 1 ? 1 : 0)->setChecked(true);
    return styleGroup;
}

void PagePropertiesDialog::titleChanged(const QString& title)
{
    if (!m_createSubdirectory)
        return;
    if (m_subdirectory->text().isEmpty())
        m_subdirFollowsTitle = true;
    if (m_subdirFollowsTitle)
        m_subdirectory->setText(QString::fromStdString(subdirectoryForTitle(title.toStdString())));
}

void PagePropertiesDialog::pick(ColourRef& colour, QFrame* frame)
{
    if (m_pickColour && m_pickColour(colour))
        paintSwatch(frame, colour);
}

void PagePropertiesDialog::applyAutoLink()
{
    const bool automatic = m_autoLink->isChecked();
    m_linkButton->setEnabled(!automatic);
    if (automatic)
        m_linkColor = autoLinkColour(m_textColor);
    paintSwatch(m_linkSwatch, m_linkColor);
}

void PagePropertiesDialog::showLayout(int layout)
{
    m_preview->setPixmap(layoutPreviewPicture(layout, devicePixelRatioF()));
}

void PagePropertiesDialog::updateDateMode()
{
    const bool picker = m_datePickerMode->isChecked();
    m_date->setEnabled(picker);
    m_dateText->setEnabled(!picker);
}

PageSetupValues PagePropertiesDialog::values() const
{
    PageSetupValues v;
    v.title = m_title->text().toStdString();
    v.subdirectory = m_subdirectory->text().toStdString();
    v.dateMode = m_dateTextMode->isChecked() ? 1 : 0;
    v.date = m_date->date();
    v.dateText = m_dateText->text().toStdString();
    v.bgImage = m_bgImage->text().toStdString();
    v.bgColor = m_bgColor;
    v.textColor = m_textColor;
    v.linkColor = m_linkColor;
    v.autoLinkColor = m_autoLink->isChecked();
    v.layoutStyle = std::max(0, m_layout->checkedId());
    v.pageStyle = std::max(0, m_style->checkedId());
    return v;
}

void PagePropertiesDialog::accept()
{
    if (m_createSubdirectory && m_subdirectory->text().isEmpty()) {
        m_subdirectory->setFocus();
        m_ui.message("This item can not be blank");
        return;
    }
    const QString image = m_bgImage->text();
    if (!image.isEmpty() && !QFileInfo(image).isFile()) {
        m_bgImage->setFocus();
        m_bgImage->selectAll();
        m_ui.message("Can't find image file '" + image.toStdString() + "'");
        return;
    }
    QDialog::accept();
}

} // namespace marquelo
