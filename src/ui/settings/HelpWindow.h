#pragma once
// The help window: the program's own HTML pages (the shortcut keys, the first-run notice) in a text
// browser, captioned "Marquelo v1.16". Links to ButtonOK and ButtonCancel close it as OK and Cancel.

#include <QDialog>

class QTextBrowser;
class QUrl;

namespace marquelo {

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    // page is the number of one of the program's pages (168 shortcut keys, 104 first-run notice);
    // an unknown number gives an empty window.
    explicit HelpWindow(int page, QWidget* parent = nullptr);
    // A page made at run time (the key help written from the key table); page() is 0.
    HelpWindow(const QString& html, QWidget* parent);

    int page() const { return m_page; }
    QTextBrowser* browser() const { return m_browser; }

    // The resource path of a page ("" when the program has no such page).
    static QString pagePath(int page);

private:
    void setUp();
    void linkActivated(const QUrl& url);

    int m_page;
    QTextBrowser* m_browser;
};

// Shows the help window modally on page; returns QDialog::Accepted (OK) or Rejected (Cancel).
int showHelpPage(QWidget* parent, int page);
// The same for a page made at run time.
int showHelpHtml(QWidget* parent, const QString& html);

} // namespace marquelo
