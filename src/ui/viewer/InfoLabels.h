#pragma once
// The info line ("3/17") and the file name floating over the top left corner of the picture, and beside
// them the title of the open page.

#include <QString>

class QLabel;
class QWidget;

namespace marquelo {

class InfoLabels {
public:
    // The labels become children of `window` (object names "info" and "fileName").
    explicit InfoLabels(QWidget* window);

    // `position` counts from 1; `marks` (stars, "Rejected", the filter) follows it. A name too long for
    // its label is cut with an ellipsis; the tooltip holds it whole.
    void show(int position, int count, const QString& name, const QString& marks = QString());
    // The same for the grid's highlighted cell: the name label grows to show the name whole, as far as
    // the window is wide.
    void showWhole(int position, int count, const QString& name);
    void setVisible(bool visible);
    // For `ms` milliseconds the info line says `text` (wider as needed), then its position again.
    void showHint(const QString& text, int ms);
    // The open page's title ("" when no page is open: the label is hidden).
    void setPageTitle(const QString& title);

private:
    void placeBesideInfo();

    QLabel* m_info = nullptr;
    QLabel* m_fileName = nullptr;
    QLabel* m_pageTitle = nullptr;
    QString m_fileNameFull;
    QString m_position;
    QString m_hint;
    bool m_whole = false;
    bool m_visible = true;
};

} // namespace marquelo
