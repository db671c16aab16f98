#include "ui/settings/FolderChooser.h"

#include "core/settings/FolderListing.h"
#include "core/settings/StartPath.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace marquelo {

namespace {

constexpr int kNameRole = Qt::UserRole; // the entry's name on disk; its text is only for the eye

QString shownPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string nameOf(const QListWidgetItem* item)
{
    return item->data(kNameRole).toByteArray().toStdString();
}

} // namespace

FolderChooser::FolderChooser(QWidget* parent, const QString& title, const std::string& folder)
    : QDialog(parent), m_path(new QLineEdit(this)), m_up(new QPushButton(tr("&Up"), this)),
      m_home(new QPushButton(tr("&Home"), this)), m_list(new QListWidget(this)), m_message(new QLabel(this))
{
    setObjectName(QStringLiteral("MarqueloFolderChooser"));
    setWindowTitle(title);
    m_path->setObjectName(QStringLiteral("pathEdit"));
    m_up->setObjectName(QStringLiteral("upButton"));
    m_up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    m_up->setToolTip(tr("The folder this one is in (Backspace in the list)"));
    m_home->setObjectName(QStringLiteral("homeButton"));
    m_home->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    // A click on these leaves the keyboard in the list, where the next key most likely goes.
    for (QPushButton* button : {m_up, m_home}) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
    }
    m_list->setObjectName(QStringLiteral("folderList"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    m_message->setObjectName(QStringLiteral("folderMessage"));
    m_message->setWordWrap(true);
    m_message->hide();

    auto* label = new QLabel(tr("&Folder:"), this);
    label->setBuddy(m_path);
    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(m_path, 1);
    top->addWidget(m_up);
    top->addWidget(m_home);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_message);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_up, &QPushButton::clicked, this,
            [this] { goTo(absoluteFolder(m_folder + "/.."), std::filesystem::path(m_folder).filename().string()); });
    connect(m_home, &QPushButton::clicked, this, [this] { goTo(absoluteFolder(homeFolder())); });
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](const QListWidgetItem* item) { goTo(subfolderPath(m_folder, nameOf(item))); });
    m_path->installEventFilter(this);
    m_list->installEventFilter(this);

    resize(560, 420);
    goTo(absoluteFolder(folder.empty() ? std::string(".") : folder));
    m_list->setFocus();
}

void FolderChooser::goTo(const std::string& folder, const std::string& cameFrom)
{
    const FolderListing listing = listSubfolders(folder);
    m_folder = folder;
    m_path->setText(shownPath(folder));
    m_up->setEnabled(folder != "/");
    m_list->clear();
    const QIcon icon = style()->standardIcon(QStyle::SP_DirIcon);
    for (const Subfolder& sub : listing.subfolders) {
        auto* item = new QListWidgetItem(icon, sub.shown, m_list);
        item->setData(kNameRole, QByteArray::fromStdString(sub.name));
        // After Up the folder just left has the focus frame, unselected: OK still means this folder.
        if (sub.name == cameFrom) {
            m_list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
            m_list->scrollToItem(item);
        }
    }
    if (listing.error)
        tell(tr("Cannot read the folder \u201c%1\u201d: %2.")
                 .arg(shownPath(folder), QString::fromLocal8Bit(listing.error.message())));
    else if (listing.subfolders.empty())
        tell(tr("This folder holds no other folders."));
    else
        tell({});
}

void FolderChooser::goToTyped()
{
    const QString typed = m_path->text();
    const std::optional<std::string> folder = typedFolder(typed, m_folder);
    if (!folder) {
        tell(tr("There is no folder \u201c%1\u201d.").arg(typed));
        return;
    }
    goTo(*folder);
    m_list->setFocus();
}

void FolderChooser::goIntoSelected()
{
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    if (!selected.isEmpty())
        goTo(subfolderPath(m_folder, nameOf(selected.first())));
}

void FolderChooser::tell(const QString& message)
{
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
}

void FolderChooser::accept()
{
    std::string folder = m_folder;
    if (m_path->text() != shownPath(m_folder)) {
        // A path typed without Enter is what OK was meant for.
        const std::optional<std::string> typed = typedFolder(m_path->text(), m_folder);
        if (!typed) {
            tell(tr("There is no folder \u201c%1\u201d.").arg(m_path->text()));
            return;
        }
        folder = *typed;
    } else if (const QList<QListWidgetItem*> selected = m_list->selectedItems(); !selected.isEmpty()) {
        folder = subfolderPath(m_folder, nameOf(selected.first()));
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::path(folder), ec)) {
        tell(tr("The folder \u201c%1\u201d is not there any more.").arg(shownPath(folder)));
        return;
    }
    if (m_textOnly && QFile::encodeName(shownPath(folder)).toStdString() != folder) {
        tell(tr("\u201c%1\u201d cannot be used here: its name is not valid UTF-8. Rename it, or choose another "
                "folder.")
                 .arg(shownPath(folder)));
        return;
    }
    m_chosen = folder;
    QDialog::accept();
}

bool FolderChooser::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    // Both widgets pass Enter on to the dialog, which would press OK as well.
    if (watched == m_path && enter) {
        goToTyped();
        return true;
    }
    if (watched == m_list) {
        const bool nothingSelected = m_list->selectedItems().isEmpty();
        if (enter && !nothingSelected) {
            goIntoSelected();
            return true;
        }
        if (key == Qt::Key_Backspace) {
            m_up->click();
            return true;
        }
        // The first arrow press selects the entry with the focus frame rather than skipping past it.
        if ((key == Qt::Key_Down || key == Qt::Key_Up) && nothingSelected && m_list->count() > 0) {
            m_list->setCurrentRow(std::max(m_list->currentRow(), 0));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace marquelo
