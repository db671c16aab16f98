// The page dialogs as a user drives them: blank fields, the folder that follows the title, colours,
// layout pictures, the size choice of a movie and the close question's preview button.
#include "support/AccessibleTree.h"
#include "support/ScriptedUserInterface.h"
#include "ui/page/ClosePageDialog.h"
#include "ui/page/ImageSizeDialog.h"
#include "ui/page/NewPageInfoDialog.h"
#include "ui/page/OpenPageDialog.h"
#include "ui/page/PagePropertiesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace marquelo {
namespace {

using test::ScriptedUserInterface;

template <typename T> T* child(QWidget& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

TEST(NewPageInfoDialog, BlankFieldsAreNamedInFieldOrder)
{
    ScriptedUserInterface ui;
    NewPageInfoDialog dlg(PageInfoValues{{}, QDate(2006, 7, 5), {}, {}, {}}, ui);
    dlg.show();
    auto* title = child<QLineEdit>(dlg, "title");
    auto* category = child<QComboBox>(dlg, "category");
    auto* country = child<QLineEdit>(dlg, "country");
    auto* location = child<QLineEdit>(dlg, "location");
    EXPECT_EQ(category->count(), 9);
    EXPECT_EQ(category->currentIndex(), -1);
    EXPECT_EQ(child<QDateEdit>(dlg, "date")->date(), QDate(2006, 7, 5));

    struct Step {
        std::function<void()> fill;
        QWidget* expectedFocus;
    };
    const Step steps[] = {
        {[] {}, title},
        {[&] { QTest::keyClicks(title, "Summer"); }, category},
        {[&] { category->setCurrentIndex(NewPageInfoDialog::categories().indexOf("travel")); }, country},
        {[&] { QTest::keyClicks(country, "Norway"); }, location},
    };
    for (const Step& step : steps) {
        step.fill();
        dlg.accept();
        EXPECT_EQ(dlg.focusWidget(), step.expectedFocus);
        EXPECT_TRUE(dlg.isVisible());
    }
    EXPECT_EQ(ui.messages, std::vector<std::string>(4, "This item can not be blank"));

    QTest::keyClicks(location, "Lofoten");
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const PageInfoValues v = dlg.values();
    EXPECT_EQ(v.title, "Summer");
    EXPECT_EQ(v.category, "travel");
    EXPECT_EQ(v.country, "Norway");
    EXPECT_EQ(v.location, "Lofoten");
}

class PageSetupTest : public ::testing::Test {
protected:
    PageSetupValues initial()
    {
        PageSetupValues v;
        v.date = QDate(2006, 7, 5);
        v.textColor = makeColour(0, 255, 255);
        v.linkColor = makeColour(255, 136, 136);
        v.autoLinkColor = true;
        v.layoutStyle = 0;
        return v;
    }
    ScriptedUserInterface ui;
};

TEST_F(PageSetupTest, FolderFollowsTheTitleUntilTheUserTypesInItAndAgainOnceEmptied)
{
    PagePropertiesDialog dlg(initial(), true, ui);
    auto* title = child<QLineEdit>(dlg, "title");
    auto* sub = child<QLineEdit>(dlg, "subdirectory");

    QTest::keyClicks(title, "Sailing Trip. 2006");
    EXPECT_EQ(sub->text(), "sailing_trip_2006");

    sub->selectAll();
    QTest::keyClicks(sub, "my.pics");
    QTest::keyClicks(title, "!");
    EXPECT_EQ(sub->text(), "my.pics"); // the user's dot survives, the title no longer leads

    sub->selectAll();
    QTest::keyClick(sub, Qt::Key_Backspace);
    dlg.accept();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"This item can not be blank"});
    EXPECT_EQ(dlg.focusWidget(), sub);

    QTest::keyClicks(title, "?");
    EXPECT_EQ(sub->text(), "sailing_trip_2006"); // follows again
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.values().subdirectory, "sailing_trip_2006");
}

TEST_F(PageSetupTest, MissingBackgroundImageKeepsTheDialogOpen)
{
    QTemporaryDir dir;
    PageSetupValues v = initial();
    v.bgImage = dir.path().toStdString(); // a folder is no image
    PagePropertiesDialog dlg(v, false, ui);
    EXPECT_FALSE(child<QLineEdit>(dlg, "subdirectory")->isEnabled());
    dlg.accept();
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Can't find image file '" + v.bgImage + "'"});
    EXPECT_NE(dlg.result(), QDialog::Accepted);

    child<QLineEdit>(dlg, "bgImage")->clear();
    dlg.accept(); // an empty title is fine without page folders
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(PageSetupTest, LinkColourFollowsTheTextColourWhileAutomatic)
{
    PagePropertiesDialog dlg(initial(), true, ui);
    dlg.setColourPicker([](ColourRef& c) {
        c = makeColour(255, 255, 255);
        return true;
    });
    auto* links = dlg.findChild<QPushButton*>();
    for (QPushButton* b : dlg.findChildren<QPushButton*>())
        if (b->text() == "L&inks")
            links = b;
    EXPECT_EQ(dlg.values().linkColor, makeColour(0, 127, 255));
    EXPECT_FALSE(links->isEnabled());

    for (QPushButton* b : dlg.findChildren<QPushButton*>())
        if (b->text() == "&Text")
            b->click();
    EXPECT_EQ(dlg.values().textColor, makeColour(255, 255, 255));
    EXPECT_EQ(dlg.values().linkColor, makeColour(127, 127, 255));
    EXPECT_EQ(child<QFrame>(dlg, "linkSwatch")->palette().color(QPalette::Window), QColor(127, 127, 255));

    child<QCheckBox>(dlg, "autoLink")->setChecked(false);
    EXPECT_TRUE(links->isEnabled());
    EXPECT_EQ(dlg.values().linkColor, makeColour(127, 127, 255)); // unticking keeps the last one
}

TEST_F(PageSetupTest, EachLayoutShowsItsOwnPicture)
{
    PagePropertiesDialog dlg(initial(), true, ui);
    auto* preview = child<QLabel>(dlg, "layoutPreview");
    std::vector<QImage> pictures;
    for (int i : {3, 1, 2, 0}) {
        child<QRadioButton>(dlg, QStringLiteral("layout%1").arg(i).toLatin1().constData())->click();
        EXPECT_EQ(dlg.values().layoutStyle, i);
        pictures.push_back(preview->pixmap().toImage());
    }
    for (std::size_t i = 0; i < pictures.size(); ++i)
        for (std::size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i], pictures[j]) << i << " " << j;
}

TEST_F(PageSetupTest, PageStyleStartsAtTheSettingAndIsWhatTheUserPicked)
{
    PageSetupValues v = initial();
    v.pageStyle = 1;
    PagePropertiesDialog dlg(v, true, ui);
    auto* classic = child<QRadioButton>(dlg, "pageStyle0");
    auto* modern = child<QRadioButton>(dlg, "pageStyle1");
    EXPECT_EQ(classic->text(), "Classic");
    EXPECT_EQ(modern->text(), "Modern");
    EXPECT_TRUE(modern->isChecked());
    classic->click();
    EXPECT_EQ(dlg.values().pageStyle, 0);
    v.pageStyle = 7; // a stored value out of range offers Classic
    PagePropertiesDialog odd(v, true, ui);
    EXPECT_EQ(odd.values().pageStyle, 0);
}

TEST(ImageSizeDialog, MovieOffersOnlyCurrentSize)
{
    ImageSizeDialog movie(AddImageChoice{1, Side::Right}, false);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(child<QRadioButton>(movie, QStringLiteral("size%1").arg(i).toLatin1().constData())->isEnabled(),
                  i == 4);
    EXPECT_TRUE(child<QRadioButton>(movie, "side2")->isChecked());

    ImageSizeDialog photo(AddImageChoice{1, Side::Left}, true);
    child<QRadioButton>(photo, "size3")->click();
    child<QRadioButton>(photo, "side1")->click();
    const AddImageChoice c = photo.choice();
    EXPECT_EQ(c.size, 3);
    EXPECT_EQ(c.side, Side::Center);
}

TEST(ClosePageDialogTest, EnterPressesTheFocusedButton)
{
    // Tab to Cancel and Enter must not close the page.
    int previews = 0;
    ClosePageDialog dlg(QStringLiteral("Close the page?"), [&previews] { ++previews; });
    dlg.show();
    auto* browser = child<QPushButton>(dlg, "browserPreview");
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_EQ(previews, 1);
    EXPECT_TRUE(dlg.isVisible());
    auto* cancel = child<QPushButton>(dlg, "cancel");
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);

    ClosePageDialog other(QStringLiteral("Close the page?"), [] {});
    other.show();
    auto* close = child<QPushButton>(other, "closePage");
    QTest::keyClick(&other, Qt::Key_Return); // no button focused: the default, Close Page
    EXPECT_TRUE(close->isDefault());
    EXPECT_EQ(other.result(), QDialog::Accepted);
}

TEST(PageDialogsAccessibility, NoDialogHasAnUnnamedControl)
{
    ScriptedUserInterface ui;
    NewPageInfoDialog info(PageInfoValues{{}, QDate(2006, 7, 5), {}, {}, {}}, ui);
    PageSetupValues setup;
    setup.date = QDate(2006, 7, 5);
    PagePropertiesDialog properties(setup, true, ui);
    ImageSizeDialog size(AddImageChoice{1, Side::Right}, true);
    ClosePageDialog closing(QStringLiteral("Close the page?"), [] {});
    OpenPageDialog opening(QStringLiteral("Open a page"), false);
    for (QDialog* dialog : std::initializer_list<QDialog*>{&info, &properties, &size, &closing, &opening}) {
        dialog->show();
        EXPECT_EQ(test::unnamedControls(dialog), QStringList()) << dialog->metaObject()->className();
        dialog->hide();
    }
}

} // namespace
} // namespace marquelo
