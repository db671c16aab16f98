#include "ui/viewer/ViewerChrome.h"

#include "core/settings/AppConfig.h"
#include "core/viewer/ImageList.h"
#include "ui/viewer/CaptionBox.h"
#include "ui/viewer/FullScreenState.h"
#include "ui/viewer/InfoLabels.h"
#include "ui/viewer/PictureArea.h"
#include "ui/viewer/ViewerKeyRouter.h"
#include "ui/viewer/ViewerToolbar.h"

#include <QToolButton>
#include <QWidget>

namespace marquelo {

ViewerChrome::ViewerChrome(QWidget& window, AppConfig& config, const ImageList& images, ViewerToolbar& toolbar,
                           InfoLabels& labels, const CaptionBox& caption, ViewerKeyRouter& keys,
                           FullScreenState& windowState, const PictureArea& picture, std::function<void()> relayout)
    : m_window(window), m_config(config), m_images(images), m_toolbar(toolbar), m_labels(labels), m_caption(caption),
      m_keys(keys), m_windowState(windowState), m_picture(picture), m_relayout(std::move(relayout)),
      m_appliedTitleBar(config.FullScreenTitleBar)
{
    applyBackground();
    m_toolbar.setVisible(m_config.ShowToolbar);
    updateInfoVisibility();
    updateToolButtons();
}

// ---- labels --------------------------------------------------------------------------------------------

void ViewerChrome::labelCurrent()
{
    const std::string& name = m_images.currentName();
    const QString shown = name.empty() ? QStringLiteral("file_not_found") : QString::fromStdString(name);
    const auto [position, count] =
        m_position ? m_position() : std::pair<int, int>(m_images.currentIndex() + 1, m_images.count());
    m_labels.show(position, count, shown, m_marks ? m_marks() : QString());
    m_labels.setPageTitle(m_pageTitle ? m_pageTitle() : QString());
    m_window.setWindowTitle(
        QStringLiteral("%1/%2 - Marquelo").arg(QString::fromStdString(m_images.directory()), shown));
    // A screen reader says the photo's name when the window gets the focus.
    m_window.setAccessibleDescription(shown);
}

void ViewerChrome::labelHighlighted(int cell, int cells)
{
    // Counted among the cells, which under a filter are fewer than the list's entries.
    m_labels.showWhole(cell + 1, cells, QString::fromStdString(m_images.currentName()));
}

void ViewerChrome::showKeyHint(int ms)
{
    if (!m_config.KeyHelpSeen)
        m_labels.showHint(QStringLiteral("Press ? for keys"), ms);
}

// ---- buttons -------------------------------------------------------------------------------------------

void ViewerChrome::updateButtons()
{
    QToolButton* before = m_keys.focusedButton();
    const ImageEntry& entry = m_images.current();
    const int current = m_images.currentIndex();
    m_toolbar.updateNavigation(current > 0, current < m_images.count() - 1, entry.hasEdited,
                               entry.isPicture && !m_config.ImageEditApp.empty());
    // A button that loses its enabled state keeps the focus in spirit: Space and Enter then do
    // nothing (Enter is OK) instead of pressing whichever button Qt moved the focus to.
    if (before && !before->isEnabled()) {
        m_keys.rememberButton(before);
        m_window.setFocus(Qt::OtherFocusReason);
    } else {
        m_keys.restoreButtonFocus();
    }
}

void ViewerChrome::updateToolButtons()
{
    m_toolbar.updateToolButtons(m_config, m_images.current().isPicture);
}

// ---- toolbar, info line and background -----------------------------------------------------------------

void ViewerChrome::toggleToolbar()
{
    if (QToolButton* focused = m_keys.focusedButton(); focused && m_config.ShowToolbar) {
        m_keys.rememberButton(focused);
        m_window.setFocus(Qt::OtherFocusReason);
    }
    m_config.ShowToolbar = !m_config.ShowToolbar;
    m_toolbar.setVisible(m_config.ShowToolbar);
    if (m_config.ShowToolbar)
        m_keys.restoreButtonFocus();
    m_relayout();
    m_window.update();
    updateInfoVisibility();
}

void ViewerChrome::toggleInfo()
{
    if (m_config.ShowToolbar)
        return;
    m_config.ShowImageInfo = !m_config.ShowImageInfo;
    updateInfoVisibility();
}

void ViewerChrome::updateInfoVisibility()
{
    m_labels.setVisible(m_config.ShowToolbar || m_config.ShowImageInfo);
}

void ViewerChrome::applyBackground()
{
    const QColor background = m_picture.background();
    QPalette p = m_window.palette();
    p.setColor(QPalette::Window, background);
    m_window.setPalette(p);
    m_toolbar.setBackground(background);
    m_window.update();
}

void ViewerChrome::applySettings()
{
    applyBackground();
    if (m_config.FullScreenTitleBar != m_appliedTitleBar)
        m_windowState.titleBarChanged();
    m_toolbar.setVisible(m_config.ShowToolbar && !m_caption.isOpen());
    m_relayout();
    m_window.update();
    updateInfoVisibility();
    updateToolButtons();
    m_appliedTitleBar = m_config.FullScreenTitleBar;
}

} // namespace marquelo
