#include "ui/update/DownloadProgressDialog.h"

#include <QDialogButtonBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace marquelo {

namespace {
// QProgressBar counts in int; a body of up to 4 GiB is shown in coarser units.
std::int64_t unitFor(std::int64_t upper)
{
    constexpr std::int64_t most = std::numeric_limits<int>::max();
    return upper > most ? upper / most + 1 : 1;
}
} // namespace

DownloadProgressDialog::DownloadProgressDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Progress"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->setCenterButtons(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Cancel, Escape, the close box and closeWindow() all end up here.
    connect(this, &QDialog::finished, this, [this] { m_closed = true; });
    setMinimumWidth(320);
}

DownloadProgressDialog::~DownloadProgressDialog() = default;

QString DownloadProgressDialog::fillCaption(const QString& format, std::int64_t position, std::int64_t total)
{
    QString caption;
    const std::int64_t numbers[] = {position, total};
    int used = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('%') && i + 1 < format.size() && format[i + 1] == QLatin1Char('d') && used < 2) {
            caption += QString::number(numbers[used++]);
            ++i;
        } else {
            caption += format[i];
        }
    }
    return caption;
}

void DownloadProgressDialog::start(const std::string& format, std::int64_t lower, std::int64_t upper)
{
    m_format = QString::fromStdString(format);
    m_position = m_lower;
    refreshCaption();
    show();
    raise();
    activateWindow();
    // The caption keeps its 0 and 100 until the first position arrives.
    m_lower = lower;
    m_upper = std::max(lower, upper);
    const std::int64_t unit = unitFor(m_upper);
    m_bar->setRange(int(m_lower / unit), int(m_upper / unit));
}

void DownloadProgressDialog::setPosition(std::int64_t position)
{
    if (m_closed)
        return;
    m_position = std::clamp(position, m_lower, m_upper);
    m_bar->setValue(int(m_position / unitFor(m_upper)));
    refreshCaption();
}

void DownloadProgressDialog::closeWindow()
{
    if (!m_closed)
        reject();
}

void DownloadProgressDialog::refreshCaption()
{
    setWindowTitle(fillCaption(m_format, m_position, m_upper));
}

} // namespace marquelo
