#include "ui/settings/DisclaimerDialog.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace marquelo {

QString DisclaimerDialog::disclaimerText()
{
    return QStringLiteral(
        "Marquelo is provided \"as is\", without warranty of any kind, express or implied, including but not "
        "limited to the warranties of merchantability, fitness for a particular purpose and non-infringement.\n\n"
        "In no event shall the authors or copyright holders be liable for any claim, damages or other "
        "liability, including the loss of pictures, pages or any other data, whether in an action of "
        "contract, tort or otherwise, arising from, out of or in connection with the software or the use "
        "or other dealings in the software. Keep copies of the photos you work on.\n\n"
        "You may use Marquelo free of charge, privately and commercially, and pass it on to others unchanged "
        "and free of charge, together with this notice. You may not sell it or present it as your own work.\n\n"
        "By choosing ACCEPT you agree to these terms. Choose DECLINE if you do not agree; Marquelo then ends "
        "without changing anything on this computer.\n\n"
        "Questions and reports: the Marquelo developers, through the project's issue tracker.");
}

DisclaimerDialog::DisclaimerDialog(QWidget* parent)
    : QDialog(parent), m_text(new QPlainTextEdit(this)), m_decline(new QPushButton(QStringLiteral("DECLINE"), this)),
      m_accept(new QPushButton(QStringLiteral("ACCEPT"), this))
{
    setWindowTitle(QStringLiteral("DISCLAIMER"));
    setObjectName(QStringLiteral("DisclaimerDialog"));
    m_text->setReadOnly(true);
    m_text->setPlainText(disclaimerText());
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // DECLINE is the default: Enter accepts the terms only while ACCEPT itself has the focus.
    m_accept->setAutoDefault(true);
    m_decline->setDefault(true);
    connect(m_decline, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_accept, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_decline);
    buttons->addWidget(m_accept);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
    // 277 by 186 dialog units in the classic layout.
    resize(554, 372);
    m_decline->setFocus();
}

bool runDisclaimer(QWidget* parent)
{
    DisclaimerDialog dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

} // namespace marquelo
