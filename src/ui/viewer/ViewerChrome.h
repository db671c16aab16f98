#pragma once
// Everything of the viewer window around the picture that follows the settings and the current entry:
// whether the toolbar and the info line show, the background colour behind the picture and the buttons,
// the enabled states of the buttons, the labels and the window title of the current entry, and what of
// this changes after the preferences dialog. The picture, its cache and the keys stay the window's.

#include <QString>

#include <functional>
#include <utility>

class QWidget;

namespace marquelo {

struct AppConfig;
class CaptionBox;
class FullScreenState;
class ImageList;
class InfoLabels;
class PictureArea;
class ViewerKeyRouter;
class ViewerToolbar;

class ViewerChrome {
public:
    // Applies the settings to the toolbar, the info line and the background at once. `relayout` lays the
    // current picture out again after the toolbar was shown or hidden.
    ViewerChrome(QWidget& window, AppConfig& config, const ImageList& images, ViewerToolbar& toolbar,
                 InfoLabels& labels, const CaptionBox& caption, ViewerKeyRouter& keys, FullScreenState& windowState,
                 const PictureArea& picture, std::function<void()> relayout);

    // The position and name of the current entry, the open page's title and the window title.
    void labelCurrent();
    // The grid's highlighted cell in the info line (it is the list's current entry).
    void labelHighlighted(int cell, int cells);
    void setPageTitleSource(std::function<QString()> source) { m_pageTitle = std::move(source); }
    // The current photo's marks and the filter, shown after its position.
    void setMarksSource(std::function<QString()> source) { m_marks = std::move(source); }
    // The current photo's position and the count as the filter has them (from 1).
    void setPositionSource(std::function<std::pair<int, int>()> source) { m_position = std::move(source); }
    // "Press ? for keys" for `ms` milliseconds, until the key help was opened once.
    void showKeyHint(int ms);

    // The navigation buttons of the current entry.
    void updateButtons();
    // The tool buttons by their settings.
    void updateToolButtons();
    void toggleToolbar();
    // Only while the toolbar is hidden: with it the info line always shows.
    void toggleInfo();
    // After the preferences dialog: background, title bar, toolbar, info line and tool buttons.
    void applySettings();

private:
    void updateInfoVisibility();
    void applyBackground();

    QWidget& m_window;
    AppConfig& m_config;
    const ImageList& m_images;
    ViewerToolbar& m_toolbar;
    InfoLabels& m_labels;
    const CaptionBox& m_caption;
    ViewerKeyRouter& m_keys;
    FullScreenState& m_windowState;
    const PictureArea& m_picture;
    std::function<void()> m_relayout;
    std::function<QString()> m_pageTitle;
    std::function<QString()> m_marks;
    std::function<std::pair<int, int>()> m_position;
    // FullScreenTitleBar as last applied: only a change swaps a maximized or full-screen window.
    bool m_appliedTitleBar = true;
};

} // namespace marquelo
