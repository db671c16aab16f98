#include "ui/page/NewPageInfoDialog.h"

#include "core/UserInterface.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace marquelo {

namespace {

constexpr int kFieldLimit = 258;
constexpr const char* kBlank = "This item can not be blank";

QLineEdit* lineEdit(const QString& name, const std::string& text, QWidget* parent)
{
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(name);
    edit->setMaxLength(kFieldLimit);
    return edit;
}

} // namespace

const QStringList& NewPageInfoDialog::categories()
{
    static const QStringList list = {QStringLiteral("sailing"), QStringLiteral("outdoors"), QStringLiteral("skiing"),
                                     QStringLiteral("party"),   QStringLiteral("events"),   QStringLiteral("living"),
                                     QStringLiteral("driving"), QStringLiteral("travel"),   QStringLiteral("mix")};
    return list;
}

NewPageInfoDialog::NewPageInfoDialog(const PageInfoValues& initial, UserInterface& ui, QWidget* parent)
    : QDialog(parent), m_ui(ui)
{
    setWindowTitle(QStringLiteral("New Page Info"));
    m_title = lineEdit(QStringLiteral("title"), initial.title, this);
    m_date = new QDateEdit(initial.date.isValid() ? initial.date : QDate::currentDate(), this);
    m_date->setObjectName(QStringLiteral("date"));
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("MMMM d, yyyy"));
    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("category"));
    m_category->addItems(categories());
    m_category->setCurrentIndex(categories().indexOf(QString::fromStdString(initial.category)));
    m_country = lineEdit(QStringLiteral("country"), initial.country, this);
    m_location = lineEdit(QStringLiteral("location"), initial.location, this);

    auto* form = new QFormLayout;
    auto row = [&](const QString& label, QWidget* field) {
        auto* l = new QLabel(label, this);
        l->setBuddy(field);
        form->addRow(l, field);
    };
    row(QStringLiteral("&Title"), m_title);
    row(QStringLiteral("&Date"), m_date);
    row(QStringLiteral("&Category"), m_category);
    row(QStringLiteral("C&ountry"), m_country);
    row(QStringLiteral("&Location"), m_location);
    m_title->setMinimumWidth(320);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

PageInfoValues NewPageInfoDialog::values() const
{
    PageInfoValues v;
    v.title = m_title->text().toStdString();
    v.date = m_date->date();
    v.category = m_category->currentIndex() < 0 ? std::string() : m_category->currentText().toStdString();
    v.country = m_country->text().toStdString();
    v.location = m_location->text().toStdString();
    return v;
}

void NewPageInfoDialog::accept()
{
    QWidget* blank = nullptr;
    if (m_title->text().isEmpty())
        blank = m_title;
    else if (m_category->currentIndex() < 0)
        blank = m_category;
    else if (m_country->text().isEmpty())
        blank = m_country;
    else if (m_location->text().isEmpty())
        blank = m_location;
    if (blank) {
        blank->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(blank))
            edit->selectAll();
        m_ui.message(kBlank);
        return;
    }
    QDialog::accept();
}

} // namespace marquelo
