#include "ui/prefs/PreferencesPage.h"

#include "core/settings/PreferencesFieldLimits.h"
#include "ui/settings/FormBuilder.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

namespace marquelo {

namespace {

// The page templates are written into pages byte for byte, and the ending is searched for again when a
// page is reopened, so the editor must give back every character it was given. toPlainText() does not:
// it turns no-break spaces into spaces and Unicode line and paragraph separators into line breaks. The
// text is read back block by block instead. A paragraph separator also starts a block of its own in the
// editor, like a line break; the block before it remembers which of the two ended it.
constexpr int kEndsInParagraphSeparator = 1;

void fillTemplate(QPlainTextEdit* edit, const std::string& stored)
{
    const QString text = QString::fromStdString(toShownLineBreaks(stored));
    edit->setPlainText(text);
    QTextBlock block = edit->document()->begin();
    for (const QChar c : text) {
        if (c != u'\n' && c != QChar::ParagraphSeparator)
            continue;
        if (!block.isValid())
            break;
        block.setUserState(c == QChar::ParagraphSeparator ? kEndsInParagraphSeparator : -1);
        block = block.next();
    }
}

std::string readTemplate(const QPlainTextEdit* edit)
{
    QString text;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        text += block.text();
        if (block.next().isValid()) {
            text += block.userState() == kEndsInParagraphSeparator ? QString(QChar::ParagraphSeparator)
                                                                   : QStringLiteral("\r\n");
        }
    }
    return text.toStdString();
}

} // namespace

PreferencesPage::PreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                                 QWidget* parent)
    : QWidget(parent), m_values(values), m_ui(ui), m_services(services)
{
}

void PreferencesPage::fillControls()
{
    for (const Binding& binding : m_bindings)
        fill(binding);
}

bool PreferencesPage::readControls()
{
    for (const Binding& binding : m_bindings) {
        if (!read(binding))
            return false;
    }
    return true;
}

QWidget* PreferencesPage::control(const char* key) const
{
    return findChild<QWidget*>(QString::fromLatin1(key));
}

void PreferencesPage::bindText(QLineEdit* edit, std::string AppConfig::*field, int maxChars)
{
    m_bindings.emplace_back(TextBinding{edit, field, maxChars});
}

void PreferencesPage::bindTemplate(QPlainTextEdit* edit, std::string AppConfig::*field, int maxChars)
{
    m_bindings.emplace_back(TemplateBinding{edit, field, maxChars});
}

void PreferencesPage::bindFlag(QCheckBox* check, bool AppConfig::*field)
{
    m_bindings.emplace_back(FlagBinding{check, field});
}

void PreferencesPage::bindRange(QLineEdit* edit, std::int32_t AppConfig::*field, std::int32_t low, std::int32_t high)
{
    m_bindings.emplace_back(NumberBinding{edit, field, true, low, high});
}

void PreferencesPage::bindNonNegative(QLineEdit* edit, std::int32_t AppConfig::*field)
{
    m_bindings.emplace_back(NumberBinding{edit, field, false, 0, 0});
}

void PreferencesPage::bindChoice(QButtonGroup* group, std::uint8_t AppConfig::*field)
{
    m_bindings.emplace_back(ChoiceBinding{group, field});
}

void PreferencesPage::bindChoice(QButtonGroup* group, std::int32_t AppConfig::*field)
{
    m_bindings.emplace_back(ChoiceBinding{group, field});
}

void PreferencesPage::fill(const Binding& binding)
{
    if (const auto* b = std::get_if<TextBinding>(&binding)) {
        b->edit->setText(QString::fromStdString(m_values.*(b->field)));
        // A long entry shows its beginning, not its end.
        b->edit->setCursorPosition(0);
    } else if (const auto* t = std::get_if<TemplateBinding>(&binding)) {
        fillTemplate(t->edit, m_values.*(t->field));
    } else if (const auto* f = std::get_if<FlagBinding>(&binding)) {
        f->check->setChecked(m_values.*(f->field));
    } else if (const auto* n = std::get_if<NumberBinding>(&binding)) {
        n->edit->setText(QString::number(m_values.*(n->field)));
    } else if (const auto* c = std::get_if<ChoiceBinding>(&binding)) {
        const int index = std::visit([&](auto field) { return int(m_values.*field); }, c->field);
        // A stored choice outside the buttons leaves none ticked, as a radio group with no match does.
        QAbstractButton* button = c->group->button(index);
        if (button) {
            button->setChecked(true);
        } else {
            const bool exclusive = c->group->exclusive();
            c->group->setExclusive(false);
            for (QAbstractButton* each : c->group->buttons())
                each->setChecked(false);
            c->group->setExclusive(exclusive);
        }
    }
}

bool PreferencesPage::read(const Binding& binding)
{
    if (const auto* b = std::get_if<TextBinding>(&binding)) {
        const std::string text = b->edit->text().toStdString();
        if (b->maxChars > 0 && characterCount(text) > std::size_t(b->maxChars)) {
            refuse(b->edit, tooManyCharactersMessage(b->maxChars));
            return false;
        }
        m_values.*(b->field) = text;
    } else if (const auto* t = std::get_if<TemplateBinding>(&binding)) {
        const std::string text = readTemplate(t->edit);
        if (t->maxChars > 0 && characterCount(text) > std::size_t(t->maxChars)) {
            refuse(t->edit, tooManyCharactersMessage(t->maxChars));
            return false;
        }
        m_values.*(t->field) = text;
    } else if (const auto* f = std::get_if<FlagBinding>(&binding)) {
        m_values.*(f->field) = f->check->isChecked();
    } else if (const auto* n = std::get_if<NumberBinding>(&binding)) {
        const std::string text = n->edit->text().toStdString();
        const auto value = n->ranged ? parseIntegerInRange(text, n->low, n->high) : parseNonNegativeInteger(text);
        if (!value) {
            refuse(n->edit, n->ranged ? integerRangeMessage(n->low, n->high) : std::string(kPositiveIntegerMessage));
            return false;
        }
        m_values.*(n->field) = *value;
    } else if (const auto* c = std::get_if<ChoiceBinding>(&binding)) {
        // No button ticked keeps the value the field had, so an odd stored value survives untouched.
        const int index = c->group->checkedId();
        if (index >= 0) {
            std::visit(
                [&](auto field) {
                    m_values.*field = static_cast<std::remove_reference_t<decltype(m_values.*field)>>(index);
                },
                c->field);
        }
    }
    return true;
}

void PreferencesPage::refuse(QWidget* control, const std::string& message)
{
    m_ui.message(message);
    if (!isVisible())
        return;
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->selectAll();
    else if (auto* text = qobject_cast<QPlainTextEdit*>(control))
        text->selectAll();
}

QLineEdit* PreferencesPage::makeEdit(const char* key)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(key));
    return edit;
}

QCheckBox* PreferencesPage::makeCheck(const QString& text, const char* key)
{
    auto* check = new QCheckBox(text, this);
    check->setObjectName(QString::fromLatin1(key));
    return check;
}

QLabel* PreferencesPage::makeLabel(const QString& text, QWidget* buddy)
{
    return makeBuddyLabel(text, buddy, this);
}

QPushButton* PreferencesPage::makeProgramBrowse(const QString& text, const QString& title, QLineEdit* edit)
{
    return makeBrowse(text, title, edit, &PreferencesServices::browseForApplication);
}

QPushButton* PreferencesPage::makeFolderBrowse(const QString& text, const QString& title, QLineEdit* edit)
{
    return makeBrowse(text, title, edit, &PreferencesServices::browseForFolder);
}

QPushButton* PreferencesPage::makeBrowse(const QString& text, const QString& title, QLineEdit* edit,
                                         BrowseService PreferencesServices::*chooser)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(edit->objectName() + QStringLiteral("Browse"));
    // Enter on the focused button browses; Enter elsewhere is still OK.
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, [this, title, edit, chooser] {
        if (m_services.*chooser)
            (m_services.*chooser)(this, title, edit);
    });
    return button;
}

namespace {

QString withoutMnemonic(QString text)
{
    text.remove(QLatin1Char('&'));
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

// The text of the label whose buddy `field` is, after the title of the group it is in: two groups of a
// page may each have an "Application".
QString fieldLabel(const QWidget* page, const QWidget* field)
{
    for (const QLabel* label : page->findChildren<QLabel*>()) {
        if (label->buddy() != field)
            continue;
        QString text = withoutMnemonic(label->text());
        for (const QWidget* up = field->parentWidget(); up && up != page; up = up->parentWidget())
            if (const auto* group = qobject_cast<const QGroupBox*>(up))
                text = withoutMnemonic(group->title()) + QLatin1Char(' ') + text;
        return text;
    }
    return QString();
}

} // namespace

void PreferencesPage::nameAmbiguousControls()
{
    const QString browse = QStringLiteral("Browse");
    for (QPushButton* button : findChildren<QPushButton*>()) {
        const QString name = button->objectName();
        if (!name.endsWith(browse) || !button->accessibleName().isEmpty())
            continue;
        const auto* field = findChild<QLineEdit*>(name.chopped(browse.size()));
        const QString label = field ? fieldLabel(this, field) : QString();
        if (!label.isEmpty())
            button->setAccessibleName(QStringLiteral("Browse for %1").arg(label));
    }
    // A Hide box is keyed HideX and sits beside the arguments of the program field keyed ...X.
    for (QCheckBox* check : findChildren<QCheckBox*>()) {
        const QString name = check->objectName();
        if (!name.startsWith(QLatin1String("Hide")) || !check->accessibleName().isEmpty())
            continue;
        const QString program = name.mid(4);
        for (const QLineEdit* field : findChildren<QLineEdit*>()) {
            if (!program.isEmpty() && field->objectName().endsWith(program)) {
                if (const QString label = fieldLabel(this, field); !label.isEmpty())
                    check->setAccessibleName(QStringLiteral("Hide %1").arg(label));
                break;
            }
        }
    }
}

void PreferencesPage::chainTabOrder(const std::vector<QWidget*>& controls)
{
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

PreferencesPage::PreferencesPage(AppConfig& values, UserInterface& ui, const PreferencesServices& services,
                                 const std::vector<ProgramRow>& rows, QWidget* parent)
    : PreferencesPage(values, ui, services, parent)
{
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int line = 0;
    QWidget* previous = nullptr;
    const auto chain = [&previous](QWidget* next) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (const ProgramRow& row : rows) {
        QLineEdit* app = makeEdit(row.appKey);
        QPushButton* browse = makeProgramBrowse(QStringLiteral("Browse..."), row.browseTitle, app);
        QLineEdit* args = makeEdit(row.argKey);
        QCheckBox* hide = makeCheck(row.hideLabel, row.hideKey);
        if (line > 0)
            grid->setRowMinimumHeight(line++, 6);
        grid->addWidget(makeLabel(row.appLabel, app), line, 0);
        grid->addWidget(app, line, 1);
        grid->addWidget(browse, line, 2);
        ++line;
        grid->addWidget(makeLabel(row.argLabel, args), line, 0);
        grid->addWidget(args, line, 1);
        grid->addWidget(hide, line, 2);
        ++line;
        bindText(app, row.appField, kPathFieldMaxChars);
        bindText(args, row.argField, kPathFieldMaxChars);
        bindFlag(hide, row.hideField);
        for (QWidget* control : {static_cast<QWidget*>(app), static_cast<QWidget*>(browse), static_cast<QWidget*>(args),
                                 static_cast<QWidget*>(hide)})
            chain(control);
    }
    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addStretch(1);
}

} // namespace marquelo
