#include "ui/viewer/ThemeIcons.h"

#include "ui/viewer/ViewerResources.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <array>
#include <initializer_list>

namespace marquelo {

namespace {

// Freedesktop names for each of our drawings, best first. The numbered tools and the swap of the
// original and the edited photo have no standard name that says what they do: they keep ours.
struct NameChoice {
    std::string_view own;
    std::array<const char*, 2> theme;
};

constexpr NameChoice kNames[] = {
    {"previous", {"go-previous", nullptr}},
    {"next", {"go-next", nullptr}},
    {"edit", {"document-edit", "accessories-text-editor"}},
    {"rotate-left", {"object-rotate-left", nullptr}},
    {"rotate-right", {"object-rotate-right", nullptr}},
    {"flip", {"object-flip-vertical", nullptr}},
    {"mirror", {"object-flip-horizontal", nullptr}},
    {"reload", {"view-refresh", nullptr}},
    {"add", {"list-add", nullptr}},
    {"preview", {"web-browser", "internet-web-browser"}},
    {"edit-html", {"text-html", "accessories-text-editor"}},
    {"view", {"media-playback-start", nullptr}},
    {"close-page", {"window-close", nullptr}},
    {"favorite", {"starred", "emblem-favorite"}},
    {"preferences", {"preferences-system", "preferences-other"}},
    {"help", {"help-browser", "help-contents"}},
    {"delete", {"user-trash", "edit-delete"}},
    {"grid", {"view-grid", "view-app-grid"}},
};

class InkEngine : public QIconEngine {
public:
    InkEngine(QIcon source, QColor ink) : m_source(std::move(source)), m_ink(ink) {}

    // `size` is in device pixels here: Qt asks for the icon's logical size times the ratio.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap drawn = m_source.pixmap(size, 1.0, QIcon::Normal, state);
        if (drawn.isNull())
            return drawn;
        drawn.setDevicePixelRatio(1.0);
        QPixmap inked(drawn.size());
        inked.fill(Qt::transparent);
        QPainter painter(&inked);
        painter.drawPixmap(0, 0, drawn);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        QColor ink = m_ink;
        if (mode == QIcon::Disabled)
            ink.setAlphaF(ink.alphaF() / 3);
        painter.fillRect(inked.rect(), ink);
        return inked;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = pixmap(rect.size() * ratio, mode, state);
        pm.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, pm);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new InkEngine(m_source, m_ink); }
    QString key() const override { return QStringLiteral("marquelo-ink"); }

private:
    QIcon m_source;
    QColor m_ink;
};

} // namespace

QIcon inkedIcon(const QIcon& source, QColor ink)
{
    return QIcon(new InkEngine(source, ink));
}

ThemedIcon toolbarIcon(std::string_view ownName, QColor ink)
{
    for (const NameChoice& choice : kNames) {
        if (choice.own != ownName)
            continue;
        for (const char* name : choice.theme) {
            if (!name)
                continue;
            const QString symbolic = QLatin1String(name) + QLatin1String("-symbolic");
            if (QIcon::hasThemeIcon(symbolic))
                return {inkedIcon(QIcon::fromTheme(symbolic), ink), IconSource::ThemeSymbolic, symbolic};
        }
        for (const char* name : choice.theme) {
            if (name && QIcon::hasThemeIcon(QLatin1String(name)))
                return {QIcon::fromTheme(QLatin1String(name)), IconSource::ThemeColour, QLatin1String(name)};
        }
    }
    ensureViewerResources();
    // Our drawings are one-colour lines made for a light ground: drawn in the ink as the symbolic ones.
    const QString path =
        QStringLiteral(":/viewer/%1.svg").arg(QLatin1String(ownName.data(), qsizetype(ownName.size())));
    // Help is the exception, a white mark on a blue disc that reads on any ground; inked it would be a
    // blank disc.
    if (ownName == "help")
        return {QIcon(path), IconSource::Own, path};
    return {inkedIcon(QIcon(path), ink), IconSource::Own, path};
}

} // namespace marquelo
