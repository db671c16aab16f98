#include "ui/page/ProgressNotices.h"

#include <QEvent>

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace marquelo {

ProgressNotices::ProgressNotices(QWidget* window)
    : QObject(window), m_window(window), m_box(new QFrame(window)), m_layout(new QVBoxLayout(m_box))
{
    m_box->setObjectName(QStringLiteral("progressNotices"));
    m_box->setFocusPolicy(Qt::NoFocus);
    m_box->setAttribute(Qt::WA_ShowWithoutActivating);
    m_box->setStyleSheet(QStringLiteral("#progressNotices { background-color: rgba(32, 32, 32, 220);"
                                        " border-radius: 6px; } QLabel { color: white; }"));
    m_layout->setContentsMargins(12, 6, 8, 6);
    m_box->hide();
    window->installEventFilter(this);
}

ProgressNotices::Line& ProgressNotices::lineFor(const std::string& key)
{
    Line& line = m_lines[key];
    if (line.frame)
        return line;
    line.frame = new QFrame(m_box);
    auto* row = new QHBoxLayout(line.frame);
    row->setContentsMargins(0, 0, 0, 0);
    line.label = new QLabel(line.frame);
    // Page folders and error output are shown as they are, never as markup.
    line.label->setTextFormat(Qt::PlainText);
    line.label->setWordWrap(true);
    line.button = new QPushButton(line.frame);
    line.button->setFocusPolicy(Qt::NoFocus);
    row->addWidget(line.label, 1);
    row->addWidget(line.button, 0, Qt::AlignTop);
    connect(line.button, &QPushButton::clicked, this, [this, key] {
        const auto it = m_lines.find(key);
        if (it == m_lines.end())
            return;
        // The action may end the line itself (a cancel that ends at once): keep a copy to run.
        const std::function<void()> action = it->second.action;
        if (action)
            action();
        else
            remove(key);
    });
    m_layout->addWidget(line.frame);
    return line;
}

void ProgressNotices::show(const std::string& key, const QString& text, std::function<void()> cancel)
{
    Line& line = lineFor(key);
    line.label->setText(text);
    line.button->setText(QStringLiteral("Cancel"));
    line.button->setObjectName(QStringLiteral("cancel-") + QString::fromStdString(key));
    line.button->setEnabled(true);
    line.action = std::move(cancel);
    place();
}

void ProgressNotices::end(const std::string& key, const QString& text, bool lasting)
{
    if (!lasting) {
        remove(key);
        return;
    }
    Line& line = lineFor(key);
    line.label->setText(text);
    line.button->setText(QStringLiteral("Close"));
    line.button->setObjectName(QStringLiteral("close-") + QString::fromStdString(key));
    line.action = nullptr;
    place();
}

QString ProgressNotices::text(const std::string& key) const
{
    const auto it = m_lines.find(key);
    return it == m_lines.end() ? QString() : it->second.label->text();
}

void ProgressNotices::remove(const std::string& key)
{
    const auto it = m_lines.find(key);
    if (it == m_lines.end())
        return;
    it->second.frame->hide();
    it->second.frame->deleteLater();
    m_lines.erase(it);
    place();
}

void ProgressNotices::place()
{
    if (m_lines.empty()) {
        m_box->hide();
        return;
    }
    const int width = std::clamp(m_window->width() - 40, 100, 720);
    m_box->setFixedWidth(width);
    m_box->adjustSize();
    // Above the passing notices, which keep the bottom line.
    m_box->move((m_window->width() - width) / 2, std::max(0, m_window->height() - m_box->height() - 80));
    m_box->show();
    m_box->raise();
}

bool ProgressNotices::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize && !m_lines.empty())
        place();
    return QObject::eventFilter(watched, event);
}

} // namespace marquelo
