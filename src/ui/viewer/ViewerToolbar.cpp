#include "ui/viewer/ViewerToolbar.h"

#include "core/viewer/Toolbar.h"
#include "ui/viewer/ViewerResources.h"

#include <QIcon>
#include <QToolButton>
#include <QWidget>

#include <cmath>

namespace marquelo {

namespace {

int pixelX(int unitX)
{
    return int(std::lround(unitX * kToolbarUnit));
}

void styleClassic(QToolButton* b, const ToolbarButton& row)
{
    b->setStyleSheet(QString());
    b->setAutoRaise(false);
    b->setIcon(QIcon(QStringLiteral(":/viewer/%1.svg").arg(QLatin1String(row.icon.data(), row.icon.size()))));
    b->setIconSize(QSize(18, 18));
    b->setMinimumSize(0, 0);
    b->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    b->setGeometry(pixelX(row.x), ViewerToolbar::kTop, ViewerToolbar::kButtonSize, ViewerToolbar::kButtonSize);
    b->setAutoFillBackground(true);
}

} // namespace

ViewerToolbar::ViewerToolbar(QWidget* window, std::function<void(Command)> onCommand) : QObject(window)
{
    ensureViewerResources();
    static_assert(std::tuple_size_v<decltype(kToolbar)> == std::tuple_size_v<decltype(m_buttons)>);
    for (std::size_t i = 0; i < kToolbar.size(); ++i) {
        const ToolbarButton& row = kToolbar[i];
        auto* b = new QToolButton(window);
        b->setObjectName(QStringLiteral("button%1").arg(row.id));
        styleClassic(b, row);
        const QString tooltip = QString::fromUtf8(row.tooltip.data(), qsizetype(row.tooltip.size()));
        b->setToolTip(tooltip);
        // A screen reader says the action; the keys in brackets are read out as the tooltip.
        b->setAccessibleName(tooltip.left(tooltip.lastIndexOf(QLatin1String(" ("))).trimmed());
        // A clicked button keeps the focus, so Space and Enter press it again.
        b->setFocusPolicy(Qt::StrongFocus);
        const Command command = row.command;
        connect(b, &QToolButton::clicked, this, [onCommand, command] { onCommand(command); });
        m_buttons[i] = b;
    }
}

QToolButton* ViewerToolbar::button(Command command) const
{
    for (std::size_t i = 0; i < kToolbar.size(); ++i) {
        if (kToolbar[i].command == command)
            return m_buttons[i];
    }
    return nullptr;
}

bool ViewerToolbar::isToolbarButton(const QWidget* widget) const
{
    return widget && std::find(m_buttons.begin(), m_buttons.end(), widget) != m_buttons.end();
}

void ViewerToolbar::setVisible(bool visible)
{
    m_visible = visible;
    for (QToolButton* b : m_buttons)
        b->setVisible(visible);
    if (m_container)
        m_container->setVisible(visible);
}

void ViewerToolbar::setContainer(QWidget* container)
{
    m_container = container;
    if (m_container)
        m_container->setVisible(m_visible);
}

void ViewerToolbar::restoreClassic(QWidget* window)
{
    m_container = nullptr;
    for (std::size_t i = 0; i < kToolbar.size(); ++i) {
        QToolButton* b = m_buttons[i];
        b->setParent(window);
        styleClassic(b, kToolbar[i]);
        b->setVisible(m_visible);
    }
}

void ViewerToolbar::setBackground(QColor colour)
{
    for (QToolButton* b : m_buttons) {
        QPalette p = b->palette();
        p.setColor(QPalette::Button, colour);
        p.setColor(QPalette::Window, colour);
        b->setPalette(p);
    }
}

void ViewerToolbar::updateToolButtons(const AppConfig& config, bool currentIsPicture)
{
    for (std::size_t i = 0; i < kToolbar.size(); ++i) {
        const ToolbarButton& row = kToolbar[i];
        if (row.requirement == ToolRequirement::None)
            continue;
        bool enabled = toolAvailable(row.requirement, config);
        if (row.command == Command::Edit)
            enabled = enabled && currentIsPicture;
        m_buttons[i]->setEnabled(enabled);
    }
}

void ViewerToolbar::updateNavigation(bool canGoBack, bool canGoForward, bool hasEdited, bool editAllowed)
{
    button(Command::Previous)->setEnabled(canGoBack);
    button(Command::Next)->setEnabled(canGoForward);
    button(Command::Swap)->setEnabled(hasEdited);
    button(Command::Edit)->setEnabled(editAllowed);
}

int ViewerToolbar::left()
{
    return pixelX(kToolbar.front().x);
}

int ViewerToolbar::right()
{
    return pixelX(kToolbar.back().x) + kButtonSize;
}

} // namespace marquelo
