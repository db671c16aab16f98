#include "ui/viewer/RenameDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace marquelo {

namespace {

// The boxes stop typing at their limit, but a longer offered name is shown whole and refused on OK,
// so nothing of the old name is cut away unseen.
void limitBox(QLineEdit* box, const QString& text, int limit)
{
    box->setMaxLength(std::max<int>(limit, int(text.size())));
    box->setText(text);
}

} // namespace

RenameDialog::RenameDialog(const QString& name, UserInterface& ui, std::function<QString(const QString&)> nameCheck,
                           QWidget* parent)
    : QDialog(parent), m_ui(ui), m_nameCheck(std::move(nameCheck))
{
    setWindowTitle(QStringLiteral("Rename Image"));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? QString() : name.left(dot);
    const QString ext = dot < 0 ? name : name.mid(dot + 1);

    m_base = new QLineEdit(this);
    m_base->setObjectName(QStringLiteral("base"));
    limitBox(m_base, base, kBaseLimit);
    m_extension = new QLineEdit(this);
    m_extension->setObjectName(QStringLiteral("extension"));
    limitBox(m_extension, ext, kExtensionLimit);

    auto* row = new QHBoxLayout;
    row->addWidget(m_base, 4);
    row->addWidget(new QLabel(QStringLiteral("."), this));
    row->addWidget(m_extension, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(QStringLiteral("Please enter a new filename:"), this);
    // The prompt names the name box for a screen reader; the dot alone would name nothing.
    prompt->setBuddy(m_base);
    m_extension->setAccessibleName(QStringLiteral("Extension"));
    layout->addWidget(prompt);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setMinimumWidth(420);
    m_base->setFocus();
    m_base->selectAll();
}

QString RenameDialog::baseName() const
{
    return m_base->text();
}

QString RenameDialog::extension() const
{
    return m_extension->text();
}

QString RenameDialog::checkLimits(const QString& base, const QString& extension)
{
    if (base.size() > kBaseLimit)
        return QStringLiteral("Please enter no more than %1 characters.").arg(kBaseLimit);
    if (extension.size() > kExtensionLimit)
        return QStringLiteral("Please enter no more than %1 characters.").arg(kExtensionLimit);
    if (base.size() + extension.size() > kNameLimit)
        return QStringLiteral("Filename too long.");
    return {};
}

void RenameDialog::accept()
{
    QString refusal = checkLimits(baseName(), extension());
    const QString joined = baseName() + QLatin1Char('.') + extension();
    if (refusal.isEmpty() && m_nameCheck)
        refusal = m_nameCheck(joined);
    if (!refusal.isEmpty()) {
        m_ui.message(refusal.toStdString());
        QLineEdit* box = extension().size() > kExtensionLimit && baseName().size() <= kBaseLimit ? m_extension : m_base;
        box->setFocus();
        return;
    }
    m_newName = joined;
    QDialog::accept();
}

} // namespace marquelo
