// The desktop entry and the AppStream metadata against what the program reads: "Open with" offers the
// program for every photo it shows by default, and for nothing it would refuse.
#include "core/settings/AppConfig.h"
#include "core/viewer/KeyTable.h"
#include "support/TestSupport.h"
#include "ui/settings/Resources.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace marquelo {
namespace {

QString desktopDir()
{
    return QString::fromStdString(test::sourceDir()) + QStringLiteral("/res/desktop/");
}

QString entryValue(const QString& key)
{
    QFile file(desktopDir() + QString::fromLatin1(kDesktopFileName) + QStringLiteral(".desktop"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines)
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    return {};
}

QSet<QString> entryMimeTypes()
{
    QSet<QString> types;
    for (const QString& t : entryValue(QStringLiteral("MimeType")).split(u';', Qt::SkipEmptyParts))
        types.insert(t);
    return types;
}

// The extensions a folder scan shows by default: JPEG always, the picture list, and GIF among the others.
QStringList shownExtensions()
{
    QStringList extensions = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("gif")};
    const std::string_view list = findSetting("PictureExtensions")->textDefault;
    for (const QString& glob : QString::fromUtf8(list.data(), qsizetype(list.size())).split(u';', Qt::SkipEmptyParts))
        extensions << glob.mid(glob.indexOf(u'.') + 1).toLower();
    return extensions;
}

TEST(DesktopEntry, ClaimsEveryShownFormatAndNothingElse)
{
    const QSet<QString> claimed = entryMimeTypes();
    ASSERT_FALSE(claimed.isEmpty());
    EXPECT_FALSE(claimed.contains(QStringLiteral("inode/directory"))) << "a folder is not opened from a file manager";

    QMimeDatabase db;
    const QStringList extensions = shownExtensions();
    for (const QString& ext : extensions) {
        const QMimeType type = db.mimeTypeForFile(QStringLiteral("photo.") + ext, QMimeDatabase::MatchExtension);
        if (type.isDefault())
            continue; // the MIME database has no type of its own for it
        QStringList names = type.aliases();
        names << type.name();
        bool found = false;
        for (const QString& name : names)
            found = found || claimed.contains(name);
        EXPECT_TRUE(found) << ext.toStdString() << " (" << type.name().toStdString() << ") is not claimed";
    }
    for (const QString& name : claimed) {
        const QMimeType type = db.mimeTypeForName(name);
        ASSERT_TRUE(type.isValid()) << name.toStdString();
        bool read = false;
        for (const QString& suffix : type.suffixes())
            read = read || extensions.contains(suffix.toLower());
        EXPECT_TRUE(read) << name.toStdString() << " is claimed but not shown";
    }
}

TEST(DesktopEntry, MetadataProvidesTheSameTypes)
{
    QFile file(desktopDir() + QString::fromLatin1(kDesktopFileName) + QStringLiteral(".metainfo.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QSet<QString> provided;
    const QRegularExpression mediatype(QStringLiteral("<mediatype>([^<]+)</mediatype>"));
    for (auto it = mediatype.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();)
        provided.insert(it.next().captured(1));
    EXPECT_EQ(provided, entryMimeTypes());
}

TEST(DesktopEntry, WindowsAreMatchedToTheEntry)
{
    // Qt names the windows' X11 class after the executable (no application name is set), and the
    // desktop file name it reports on Wayland is kDesktopFileName: the entry must say the same.
    const QString exec = entryValue(QStringLiteral("Exec"));
    EXPECT_EQ(entryValue(QStringLiteral("StartupWMClass")), exec.section(u' ', 0, 0));
    EXPECT_EQ(exec.section(u' ', 0, 0), QStringLiteral("marquelo"));
}

TEST(ManPage, ListsEveryKeyOfTheTable)
{
    QFile file(desktopDir() + QStringLiteral("marquelo.1"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QString page = QString::fromUtf8(file.readAll()).replace(QStringLiteral("\\-"), QStringLiteral("-"));
    const qsizetype from = page.indexOf(QStringLiteral(".SH KEYS"));
    ASSERT_GE(from, 0);
    page = page.mid(from, page.indexOf(QStringLiteral(".SH"), from + 1) - from);
    for (const KeyBinding& row : kKeyTable) {
        if (row.command == Command::Nothing)
            continue;
        // A key of the table's rows is written as the table writes it, one of a comma list before the tab.
        const QString label = QString::fromUtf8(row.label.data(), qsizetype(row.label.size()));
        const QRegularExpression item(QStringLiteral("(^|, )") + QRegularExpression::escape(label) +
                                          QStringLiteral("(, |\t)"),
                                      QRegularExpression::MultilineOption);
        EXPECT_TRUE(item.match(page).hasMatch()) << row.label;
    }
    EXPECT_TRUE(page.contains(QStringLiteral("Delete\tMove the image to the trash")));
}

} // namespace
} // namespace marquelo
