#pragma once
// "New Page Info": title, date, category, country and location of a new page, none of which may be
// left blank.

#include "core/page/PageFormat.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLineEdit;

namespace marquelo {

class UserInterface;

class NewPageInfoDialog : public QDialog {
    Q_OBJECT
public:
    // The nine categories, in the order the list offers them.
    static const QStringList& categories();

    NewPageInfoDialog(const PageInfoValues& initial, UserInterface& ui, QWidget* parent = nullptr);

    // The fields as they stand (after OK: as confirmed).
    PageInfoValues values() const;

    // Closes with OK only when title, category, country and location are filled; otherwise the first
    // blank one gets the focus and "This item can not be blank" is shown.
    void accept() override;

private:
    UserInterface& m_ui;
    QLineEdit* m_title;
    QDateEdit* m_date;
    QComboBox* m_category;
    QLineEdit* m_country;
    QLineEdit* m_location;
};

} // namespace marquelo
