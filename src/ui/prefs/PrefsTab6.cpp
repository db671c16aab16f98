#include "ui/prefs/PrefsTab6.h"

#include "core/settings/PreferencesFieldLimits.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace marquelo {

namespace {

// A page template: Return breaks the line, Tab moves on to the next control, lines scroll vertically.
QPlainTextEdit* makeTemplateEdit(QWidget* page, const char* key)
{
    auto* edit = new QPlainTextEdit(page);
    edit->setObjectName(QString::fromLatin1(key));
    edit->setTabChangesFocus(true);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const int lines = 3;
    edit->setMinimumHeight(edit->fontMetrics().lineSpacing() * lines + 2 * edit->frameWidth() +
                           int(edit->document()->documentMargin() * 2));
    return edit;
}

} // namespace

PrefsTab6::PrefsTab6(AppConfig& values, UserInterface& ui, const PrefsServices& services, QWidget* parent)
    : PrefsPage(values, ui, services, parent)
{
    auto* begin1 = makeTemplateEdit(this, "TemplateBegin1");
    auto* begin2 = makeTemplateEdit(this, "TemplateBegin2");
    auto* tag = makeEdit("ImageTag");
    auto* number = makeCheck(QStringLiteral("Show Img &Number"), "ShowImageNumber");
    auto* end = makeTemplateEdit(this, "TemplateEnd");

    auto* grid = new QGridLayout(this);
    grid->addWidget(makeLabel(QStringLiteral("HTML page beginning"), begin1), 0, 0, Qt::AlignTop);
    grid->addWidget(begin1, 0, 1, 1, 2);
    grid->addWidget(makeLabel(QStringLiteral("HTML page beginning of <body>"), begin2), 1, 0, Qt::AlignTop);
    grid->addWidget(begin2, 1, 1, 1, 2);
    grid->addWidget(makeLabel(QStringLiteral("HTML image &tag"), tag), 2, 0);
    grid->addWidget(tag, 2, 1);
    grid->addWidget(number, 2, 2);
    grid->addWidget(makeLabel(QStringLiteral("HTML page ending"), end), 3, 0, Qt::AlignTop);
    grid->addWidget(end, 3, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    for (int row : {0, 1, 3})
        grid->setRowStretch(row, 1);

    chainTabOrder({begin1, begin2, tag, number, end});

    bindTemplate(begin1, &AppConfig::TemplateBegin1, kTemplateFieldMaxChars);
    bindTemplate(begin2, &AppConfig::TemplateBegin2, kTemplateFieldMaxChars);
    bindText(tag, &AppConfig::ImageTag, kImageTagMaxChars);
    bindFlag(number, &AppConfig::ShowImageNumber);
    bindTemplate(end, &AppConfig::TemplateEnd, kTemplateFieldMaxChars);
}

} // namespace marquelo
