#include "ui/prefs/PreferencesDialog.h"

#include "core/settings/PreferencesFieldLimits.h"
#include "core/settings/PreferencesKeys.h"
#include "core/settings/PreferencesPathCheck.h"
#include "core/viewer/Appearance.h"
#include "core/viewer/CaptureTime.h"
#include "ui/prefs/EditCompressPreferencesPage.h"
#include "ui/prefs/GeneralPreferencesPage.h"
#include "ui/prefs/HtmlCreationPreferencesPage.h"
#include "ui/prefs/MiscPreferencesPage.h"
#include "ui/prefs/ProgramPreferencesPages.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace marquelo {

namespace {

constexpr const char* kLegend = "%1=input dir  %2=input filename  %3=output dir  %4=output filename\n"
                                "%5=crop coordinates  %6,%7 = image height,width";

constexpr const char* kSortingNotice =
    "You need to restart the application for the image sorting change to take effect.";
constexpr const char* kEmptySuffixMessage = "Edit suffix cannot be empty (default: _edit)";

} // namespace

PreferencesDialog::PreferencesDialog(AppConfig& config, UserInterface& ui, PreferencesServices services,
                                     QWidget* parent)
    : QDialog(parent), m_config(config), m_values(config), m_ui(ui), m_services(std::move(services))
{
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("PreferencesDialog"));

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("PrefsTabs"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    m_stack = new QStackedWidget(frame);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(2, 2, 3, 3);
    frameLayout->addWidget(m_stack);

    m_general = new GeneralPreferencesPage(m_values, m_ui, m_services);
    m_editCompress = new EditCompressPreferencesPage(m_values, m_ui, m_services);
    m_misc = new MiscPreferencesPage(m_values, m_config, m_ui, m_services);
    m_pages = {m_general,
               m_editCompress,
               m_misc,
               makeRotateFlipPage(m_values, m_ui, m_services),
               makeToolsPage(m_values, m_ui, m_services),
               m_htmlCreation = new HtmlCreationPreferencesPage(m_values, m_ui, m_services)};
    const QString captions[kPageCount] = {QStringLiteral("General"), QStringLiteral("Edit/Compress"),
                                          QStringLiteral("Misc"),    QStringLiteral("Rotate/Flip"),
                                          QStringLiteral("Tools"),   QStringLiteral("HTML creation")};
    for (int i = 0; i < kPageCount; ++i) {
        m_tabs->addTab(captions[i]);
        m_stack->addWidget(m_pages[std::size_t(i)]);
        m_pages[std::size_t(i)]->fillControls();
        m_pages[std::size_t(i)]->nameAmbiguousControls();
    }
    // What the frame shows while no page is in front (a remembered page index beyond the last tab).
    auto* noPage = new QWidget;
    m_stack->addWidget(noPage);

    auto* legend = new QLabel(QString::fromLatin1(kLegend), this);
    legend->setObjectName(QStringLiteral("PlaceholderLegend"));
    legend->setTextFormat(Qt::PlainText);
    m_legend = legend;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(legend, 1);
    bottom->addSpacing(12);
    bottom->addWidget(buttons, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(m_tabs);
    layout->addWidget(frame, 1);
    layout->addSpacing(8);
    layout->addLayout(bottom);

    const int remembered = m_config.CurrentCfgTab;
    if (remembered < kPageCount) {
        m_tabs->setCurrentIndex(remembered);
        m_stack->setCurrentIndex(remembered);
        m_shown = remembered;
    } else {
        m_stack->setCurrentWidget(noPage);
    }
    // Connected only now: filling the bar selects its first tab, which is not the user's choice.
    connect(m_tabs, &QTabBar::currentChanged, this, &PreferencesDialog::selectTab);
    // With no page shown, a click on the highlighted tab must still bring its page.
    connect(m_tabs, &QTabBar::tabBarClicked, this, &PreferencesDialog::selectTab);
    addTabShortcuts();
    updateLegend();
}

void PreferencesDialog::updateLegend()
{
    if (appearanceOf(m_config) != Appearance::Modern)
        return;
    // General and Misc have no template; the legend there only read as a stray footer. Its place is
    // kept, so the buttons do not jump between pages.
    QSizePolicy policy = m_legend->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_legend->setSizePolicy(policy);
    m_legend->setVisible(m_shown == 1 || m_shown >= 3);
}

void PreferencesDialog::addTabShortcuts()
{
    auto* next = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(next, &QShortcut::activated, this,
            [this] { m_tabs->setCurrentIndex((m_tabs->currentIndex() + 1) % kPageCount); });
    // Shift makes Tab a Backtab on most keyboards, but not on every one (nor from every remote desktop).
    for (const QKeyCombination keys : {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, Qt::CTRL | Qt::SHIFT | Qt::Key_Tab}) {
        auto* previous = new QShortcut(QKeySequence(keys), this);
        connect(previous, &QShortcut::activated, this,
                [this] { m_tabs->setCurrentIndex((m_tabs->currentIndex() + kPageCount - 1) % kPageCount); });
    }
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::selectTab(int index)
{
    if (index < 0 || index >= kPageCount || index == m_shown)
        return;
    m_stack->setCurrentIndex(index);
    m_shown = index;
    m_config.CurrentCfgTab = std::uint8_t(index);
    updateLegend();
}

void PreferencesDialog::showPageAndFocus(int index, QWidget* control)
{
    m_tabs->setCurrentIndex(index);
    selectTab(index);
    control->setEnabled(true);
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        text->selectAll();
        text->ensureCursorVisible();
    }
}

bool PreferencesDialog::checkPath(const std::string& path, unsigned requirements, int pageIndex, QWidget* control)
{
    const auto rejection =
        checkPreferencePath(path, requirements, QCoreApplication::applicationDirPath().toStdString());
    if (!rejection)
        return true;
    showPageAndFocus(pageIndex, control);
    m_ui.message(*rejection);
    return false;
}

bool PreferencesDialog::confirm()
{
    if (!m_general->readControls())
        return false;
    if (!checkPath(m_values.BaseOutputDirectory, PathMustBeDirectory | PathNotBlank, 0, m_general->directoryEdit()))
        return false;
    if (!checkPath(m_values.OutputFilename, PathNotBlank | PathNotDirectory, 0, m_general->htmlFileEdit()))
        return false;
    if (m_values.ReadAhead && (m_values.CacheDepth < 1 || m_values.CacheDepth > kMaxCacheDepth)) {
        showPageAndFocus(0, m_general->depthEdit());
        m_ui.message(cacheDepthMessage());
        return false;
    }
    if (m_values.Sorting != m_config.Sorting)
        m_ui.message(kSortingNotice);

    if (!m_editCompress->readControls())
        return false;
    if (m_values.EditFileSuffix.empty()) {
        showPageAndFocus(1, m_editCompress->suffixEdit());
        m_ui.message(kEmptySuffixMessage);
        return false;
    }

    if (!m_misc->readControls())
        return false;
    if (!checkPath(m_values.BestOfDirectory, PathMustBeDirectory, 2, m_misc->favoritesEdit()))
        return false;
    if (!checkPath(m_values.InstallationPath, PathMustBeDirectory, 2, m_misc->installationEdit()))
        return false;
    if (const ClockOffsetsParse clocks = parseClockOffsets(m_values.CameraClockOffsets); clocks.badLine != 0) {
        showPageAndFocus(2, m_misc->clockOffsetsEdit());
        m_ui.message(clocks.error);
        return false;
    }

    for (int i = 3; i < kPageCount; ++i) {
        if (!m_pages[std::size_t(i)]->readControls())
            return false;
    }
    if (const auto rejection = checkPageBaseUrl(m_values.PageBaseUrl)) {
        showPageAndFocus(5, m_htmlCreation->baseUrlEdit());
        m_ui.message(*rejection);
        return false;
    }
    return true;
}

void PreferencesDialog::accept()
{
    if (!confirm())
        return;
    copyPreferenceKeys(m_values, m_config);
    QDialog::accept();
}

} // namespace marquelo
