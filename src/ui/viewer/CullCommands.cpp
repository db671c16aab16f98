#include "ui/viewer/CullCommands.h"

#include "core/settings/AppConfig.h"
#include "core/settings/Logging.h"
#include "core/viewer/ImageList.h"
#include "core/viewer/MarksScanner.h"
#include "ui/viewer/NoticeOverlay.h"

#include <QActionGroup>
#include <QFile>
#include <QMenu>

#include <algorithm>

namespace marquelo {

namespace {

std::optional<MarksKey> keyOf(Command command)
{
    switch (command) {
    case Command::RateClear: return MarksKey{MarksKey::Stars, 0, {}};
    case Command::Rate1: return MarksKey{MarksKey::Stars, 1, {}};
    case Command::Rate2: return MarksKey{MarksKey::Stars, 2, {}};
    case Command::Rate3: return MarksKey{MarksKey::Stars, 3, {}};
    case Command::Rate4: return MarksKey{MarksKey::Stars, 4, {}};
    case Command::Rate5: return MarksKey{MarksKey::Stars, 5, {}};
    case Command::Reject: return MarksKey{MarksKey::Reject, 0, {}};
    case Command::LabelRed: return MarksKey{MarksKey::Label, 0, "Red"};
    case Command::LabelYellow: return MarksKey{MarksKey::Label, 0, "Yellow"};
    case Command::LabelGreen: return MarksKey{MarksKey::Label, 0, "Green"};
    case Command::LabelBlue: return MarksKey{MarksKey::Label, 0, "Blue"};
    case Command::LabelPurple: return MarksKey{MarksKey::Label, 0, "Purple"};
    default: return std::nullopt;
    }
}

} // namespace

CullCommands::CullCommands(AppConfig& config, ImageList& images, NoticeOverlay& notices, std::function<void()> relabel,
                           std::function<void()> listChanged, std::function<void(int)> evict)
    : m_config(config), m_images(images), m_notices(notices), m_relabel(std::move(relabel)),
      m_listChanged(std::move(listChanged)), m_evict(std::move(evict)),
      m_filter(cullFilterFromSetting(config.CullFilter))
{
    if (filtering())
        scanFolder();
}

CullCommands::~CullCommands() = default;

void CullCommands::setFilter(CullFilter filter)
{
    m_filter = filter;
    m_config.CullFilter = std::uint8_t(filter);
    if (filtering())
        scanFolder();
    const QString name = cullFilterName(filter);
    m_notices.show(name.isEmpty() ? QStringLiteral("Filter: all photos") : QStringLiteral("Filter: %1").arg(name));
    m_relabel();
}

bool CullCommands::shown(int index)
{
    if (!filtering())
        return true;
    const std::vector<std::string> files = markedFiles(m_images, m_images.at(index));
    if (files.empty())
        return false;
    if (!m_marks.isKnown(files.front()))
        return true;
    return passesFilter(m_filter, m_marks.of(files.front()).marks.rating);
}

QMenu* CullCommands::showFilterMenu(QWidget* parent, QPoint at)
{
    if (m_filterMenu)
        m_filterMenu->deleteLater();
    auto* menu = new QMenu(QStringLiteral("Filter"), parent);
    menu->setObjectName(QStringLiteral("filterMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto* group = new QActionGroup(menu);
    menu->addSection(QStringLiteral("Filter"));
    for (int i = 0; i < int(CullFilter::Count_); ++i) {
        const auto filter = CullFilter(i);
        const QString name = cullFilterName(filter);
        QAction* action = menu->addAction(name.isEmpty() ? QStringLiteral("all photos") : name);
        action->setCheckable(true);
        action->setChecked(filter == m_filter);
        action->setData(i);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, menu, [this, filter] {
            if (filter != m_filter)
                setFilter(filter);
        });
    }
    m_filterMenu = menu;
    menu->popup(parent->mapToGlobal(at));
    return menu;
}

std::optional<int> CullCommands::filteredTarget(Command command)
{
    if (!filtering() || m_images.count() == 0)
        return std::nullopt;
    const int count = m_images.count();
    const int current = m_images.currentIndex();
    const FilterTest test = [this](int i) { return shown(i); };
    auto edge = [&](int found) { return found < 0 ? current : found; };
    switch (command) {
    case Command::First: return edge(firstFiltered(count, test));
    case Command::Last: return edge(lastFiltered(count, test));
    case Command::Previous: return stepFiltered(count, current, -1, test);
    case Command::Next: return stepFiltered(count, current, 1, test);
    case Command::Back5: return stepFiltered(count, current, -5, test);
    case Command::Forward5: return stepFiltered(count, current, 5, test);
    case Command::Back10: return stepFiltered(count, current, -10, test);
    case Command::Forward10: return stepFiltered(count, current, 10, test);
    default: return std::nullopt;
    }
}

FilteredPosition CullCommands::position()
{
    if (!filtering())
        return {m_images.currentIndex() + 1, m_images.count()};
    return filteredPosition(m_images.count(), m_images.currentIndex(), [this](int i) { return shown(i); });
}

void CullCommands::scanFolder()
{
    if (m_scanSize == m_images.count() || m_images.count() == 0)
        return; // read already, or reading
    if (!m_scanner) {
        m_scanner = std::make_unique<MarksScanner>([this](MarksScanner::Batch&& batch) {
            for (auto& [path, known] : batch) {
                // What the window read or wrote itself is newer than the worker's answer.
                if (!m_marks.isKnown(path))
                    m_marks.remember(path, std::move(known));
            }
            m_scanned += int(batch.size());
            m_relabel();
        });
    }
    std::vector<std::string> paths;
    paths.reserve(std::size_t(m_images.count()));
    for (int i = 0; i < m_images.count(); ++i) {
        const std::vector<std::string> files = markedFiles(m_images, m_images.at(i));
        paths.push_back(files.empty() ? std::string() : files.front());
    }
    m_scanned = 0;
    m_scanSize = int(paths.size());
    m_scanner->scan(std::move(paths), m_images.currentIndex());
}

namespace {

std::string stemOf(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

QString bare(const std::string& path)
{
    const auto slash = path.rfind('/');
    return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

bool CullCommands::sendTo(int slot)
{
    if (m_images.count() == 0)
        return false;
    const std::string* folders[] = {&m_config.SendTo1Directory, &m_config.SendTo2Directory, &m_config.SendTo3Directory,
                                    &m_config.SendTo4Directory};
    const std::string& folder = *folders[std::clamp(slot, 1, 4) - 1];
    if (folder.empty()) {
        m_notices.show(QStringLiteral("Send-to folder %1 is not set (Preferences, Misc)").arg(slot));
        return false;
    }
    const int index = m_images.currentIndex();
    const ImageEntry& entry = m_images.current();
    // The photo first, then what belongs to it: its RAW twin, its edited copy, and their sidecars.
    std::vector<std::string> files = markedFiles(m_images, entry);
    if (entry.hasEdited)
        files.push_back(m_images.pathOf(entry.files[kEdited].name));
    const std::size_t photos = files.size();
    for (std::size_t i = 0; i < photos; ++i) {
        const std::string sidecar = media::sidecarNameWithExtension(files[i]);
        if (QFile::exists(QString::fromStdString(sidecar)))
            files.push_back(sidecar);
    }
    // NAME.xmp goes along unless another listed photo of the same stem still reads it.
    const std::string stem = stemOf(entry.files[kOriginal].name);
    bool shared = false;
    for (int i = 0; i < m_images.count() && !shared; ++i)
        shared = i != index && stemOf(m_images.at(i).files[kOriginal].name) == stem;
    const std::string adobe = media::sidecarNameOnly(files.front());
    if (!shared && QFile::exists(QString::fromStdString(adobe)))
        files.push_back(adobe);

    if (m_evict)
        m_evict(index);
    const SendOutcome outcome = sendFiles(files, folder);
    if (!outcome.ok) {
        qCWarning(lcViewer) << "Send-to failed:" << outcome.error.c_str();
        m_notices.show(QStringLiteral("Not moved: %1").arg(QString::fromStdString(outcome.error)));
        return false;
    }
    for (const MovedFile& file : outcome.moved)
        m_marks.forget(file.from);
    Sent sent{index, entry, outcome.moved};
    sent.before.pictures = {};
    m_sent.push_back(std::move(sent));
    m_images.remove(index);
    m_images.setCurrent(index);
    QString notice = QStringLiteral("Moved to %1").arg(QString::fromStdString(folder));
    if (outcome.moved.size() > 1)
        notice += QStringLiteral(" (%1 files)").arg(outcome.moved.size());
    if (outcome.numbered)
        notice += QStringLiteral(" as %1: that name was taken").arg(bare(outcome.moved.front().to));
    if (m_listChanged)
        m_listChanged();
    m_notices.show(notice);
    return true;
}

bool CullCommands::undoSend()
{
    if (m_sent.empty())
        return false;
    Sent& last = m_sent.back();
    std::string error;
    if (!moveBack(last.moved, error)) {
        qCWarning(lcViewer) << "Send-to not taken back:" << error.c_str();
        m_notices.show(QStringLiteral("Not moved back: %1").arg(QString::fromStdString(error)));
        return false;
    }
    const int index = std::clamp(last.index, 0, m_images.count());
    m_images.insert(index, std::move(last.before));
    m_images.setCurrent(index);
    m_sent.pop_back();
    if (m_listChanged)
        m_listChanged();
    m_notices.show(QStringLiteral("Moved back: %1").arg(QString::fromStdString(m_images.currentName())));
    return true;
}

ThumbnailGrid::CellMarks CullCommands::cellMarks(int index)
{
    scanFolder();
    ThumbnailGrid::CellMarks cell;
    if (index < 0 || index >= m_images.count())
        return cell;
    const std::vector<std::string> files = markedFiles(m_images, m_images.at(index));
    if (files.empty() || !m_marks.isKnown(files.front()))
        return cell;
    const media::XmpMarks& marks = m_marks.of(files.front()).marks;
    cell.known = true;
    cell.rating = marks.rating;
    cell.label = QString::fromStdString(marks.label);
    cell.shown = !filtering() || passesFilter(m_filter, marks.rating);
    return cell;
}

bool CullCommands::folderKnown() const
{
    return m_scanSize >= 0 && m_scanned >= m_scanSize;
}

bool CullCommands::run(Command command)
{
    if (command == Command::NextFilter) {
        setFilter(nextCullFilter(m_filter));
        return true;
    }
    const std::optional<MarksKey> key = keyOf(command);
    if (!key)
        return false;
    if (m_images.count() == 0)
        return true;
    const ImageEntry& entry = m_images.current();
    const auto naming =
        m_config.SidecarNaming == 1 ? media::SidecarNaming::NameOnly : media::SidecarNaming::NameWithExtension;
    const PhotoMarks::Outcome outcome = m_marks.apply(m_images, entry, *key, naming);
    if (!outcome.ok)
        qCWarning(lcViewer) << "Marks not saved:" << outcome.log.c_str();
    m_notices.show(outcome.notice);
    m_relabel();
    return true;
}

QString CullCommands::marksTextOf(int index)
{
    if (index < 0 || index >= m_images.count())
        return {};
    const std::vector<std::string> files = markedFiles(m_images, m_images.at(index));
    if (files.empty())
        return {};
    return marksText(m_marks.of(files.front()).marks);
}

QString CullCommands::currentMarksText()
{
    if (m_images.count() == 0)
        return {};
    const std::vector<std::string> files = markedFiles(m_images, m_images.current());
    if (files.empty())
        return {};
    const PhotoMarks::Known& known = m_marks.of(files.front());
    if (!known.problem.empty() && m_problemShown != files.front()) {
        // Said once per visit; the photo shows as unrated and its sidecar stays as it is until it is rated.
        m_problemShown = files.front();
        qCWarning(lcViewer) << "Sidecar not used:" << known.problem.c_str();
        m_notices.show(QStringLiteral("Rating not read: %1").arg(QString::fromStdString(known.problem)));
    } else if (known.problem.empty()) {
        m_problemShown.clear();
    }
    QString text = marksText(known.marks);
    if (filtering()) {
        if (!text.isEmpty())
            text += QStringLiteral(" \u00b7 ");
        text += QStringLiteral("[%1]").arg(cullFilterName(m_filter));
    }
    return text;
}

} // namespace marquelo
