#include "ui/prefs/HtmlCreationPreferencesPage.h"

#include "core/page/PagePublisher.h"
#include "core/settings/PreferencesFieldLimits.h"
#include "ui/settings/FormBuilder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <vector>

namespace marquelo {

namespace {

// A page template: Return breaks the line, Tab moves on to the next control. Lines are not wrapped, so
// every line on screen is a line of the page; long ones scroll sideways, many scroll up and down.
class TemplateEdit : public QPlainTextEdit {
public:
    TemplateEdit(QWidget* page, const char* key) : QPlainTextEdit(page)
    {
        setObjectName(QString::fromLatin1(key));
        setTabChangesFocus(true);
        setLineWrapMode(QPlainTextEdit::NoWrap);
    }

    // Four lines tall by default; the page gives the templates whatever height is left.
    QSize sizeHint() const override
    {
        const int height = fontMetrics().lineSpacing() * 4 + 2 * frameWidth() + int(2 * document()->documentMargin());
        return {QPlainTextEdit::sizeHint().width(), height};
    }
    QSize minimumSizeHint() const override
    {
        const int height = fontMetrics().lineSpacing() * 2 + 2 * frameWidth() + int(2 * document()->documentMargin());
        return {QPlainTextEdit::minimumSizeHint().width(), height};
    }
};

} // namespace

HtmlCreationPreferencesPage::HtmlCreationPreferencesPage(AppConfig& values, UserInterface& ui,
                                                         const PreferencesServices& services, QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    auto* begin1 = new TemplateEdit(this, "TemplateBegin1");
    auto* begin2 = new TemplateEdit(this, "TemplateBegin2");
    auto* tag = makeEdit("ImageTag");
    auto* number = makeCheck(QStringLiteral("Show Img &Number"), "ShowImageNumber");
    auto* end = new TemplateEdit(this, "TemplateEnd");

    // The style a new page is made in; the new-page dialog offers the same choice.
    auto* style = new QButtonGroup(this);
    style->setObjectName(QStringLiteral("PageStyle"));
    auto* styleRow = new QHBoxLayout;
    const std::vector<QRadioButton*> styles =
        addRadioButtons(style, QStringLiteral("PageStyle"), {"Classic", "Modern"}, this, styleRow);
    auto* styleLabel = new QLabel(QStringLiteral("Page style"), this);
    styleLabel->setBuddy(styles[0]);
    styleRow->insertWidget(0, styleLabel);
    styleRow->addStretch(1);

    // Run on the page's folder by Shift+P or "Close and Publish"; never through a shell.
    auto* publish = makeEdit("PublishCommand");
    publish->setPlaceholderText(QStringLiteral("e.g. ") + QString::fromUtf8(kPublishCommandExample.data(),
                                                                            qsizetype(kPublishCommandExample.size())));
    publish->setToolTip(QStringLiteral("Puts a page online: the program, then its arguments. %P is the page's folder, "
                                       "%N its name. Quote an argument with blanks in double quotes. Nothing on the "
                                       "server is deleted unless the command says so (rsync's --delete)."));
    auto* publishRow = new QHBoxLayout;
    publishRow->addWidget(makeLabel(QStringLiteral("P&ublish command"), publish));
    publishRow->addWidget(publish, 1);

    // What only Modern pages use: the address they are published under, for link previews in chats,
    // and the camera line under each photo.
    m_baseUrl = makeEdit("PageBaseUrl");
    m_baseUrl->setPlaceholderText(QStringLiteral("https://example.org/photos"));
    auto* details = makeCheck(QStringLiteral("Show &camera details"), "PagePhotoDetails");
    auto* modernRow = new QHBoxLayout;
    modernRow->addWidget(makeLabel(QStringLiteral("Modern pages' &web address"), m_baseUrl));
    modernRow->addWidget(m_baseUrl, 1);
    modernRow->addWidget(details);

    auto* tagRow = new QHBoxLayout;
    tagRow->addWidget(makeLabel(QStringLiteral("HTML image &tag"), tag));
    tagRow->addWidget(tag, 1);
    tagRow->addWidget(number);

    auto* page = new QVBoxLayout(this);
    page->setSpacing(4);
    page->addWidget(makeLabel(QStringLiteral("HTML page beginning"), begin1));
    page->addWidget(begin1, 1);
    page->addWidget(makeLabel(QStringLiteral("HTML page beginning of <body>"), begin2));
    page->addWidget(begin2, 1);
    page->addSpacing(4);
    page->addLayout(tagRow);
    page->addLayout(styleRow);
    page->addLayout(publishRow);
    page->addLayout(modernRow);
    page->addSpacing(4);
    page->addWidget(makeLabel(QStringLiteral("HTML page ending"), end));
    page->addWidget(end, 1);

    chainTabOrder({begin1, begin2, tag, number, styles[0], styles[1], publish, m_baseUrl, details, end});

    bindTemplate(begin1, &AppConfig::TemplateBegin1, kTemplateFieldMaxChars);
    bindTemplate(begin2, &AppConfig::TemplateBegin2, kTemplateFieldMaxChars);
    bindText(tag, &AppConfig::ImageTag, kImageTagMaxChars);
    bindFlag(number, &AppConfig::ShowImageNumber);
    bindTemplate(end, &AppConfig::TemplateEnd, kTemplateFieldMaxChars);
    bindChoice(style, &AppConfig::PageStyle);
    bindText(publish, &AppConfig::PublishCommand, kTemplateFieldMaxChars);
    bindText(m_baseUrl, &AppConfig::PageBaseUrl, kPathFieldMaxChars);
    bindFlag(details, &AppConfig::PagePhotoDetails);
}

} // namespace marquelo
