#include "ui/viewer/ViewerAppearance.h"

#include "core/viewer/KeyHelp.h"
#include "core/viewer/Toolbar.h"
#include "ui/settings/HelpWindow.h"
#include "ui/viewer/NoticeOverlay.h"
#include "ui/viewer/Placeholders.h"
#include "ui/viewer/ThemeIcons.h"
#include "ui/viewer/ViewerToolbar.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QTextBrowser>
#include <QToolButton>
#include <QWidget>

#include <algorithm>

namespace marquelo {

namespace {

// The notices' own ground, so the bar, the notices and the key help read as one family.
constexpr QColor kBarColour = QColor(32, 32, 32, 210);
constexpr QColor kInk = QColor(236, 236, 236);
constexpr int kButtonSide = ViewerAppearance::kIconSize + 12;
constexpr int kMinButtonSide = 20;
// Wider gaps of the Classic row (in its layout units) part the buttons into groups; the bar keeps them.
constexpr int kGroupGap = 18;

class ModernBar : public QWidget {
public:
    explicit ModernBar(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("modernToolbar"));
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
        painter.setBrush(kBarColour);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }
};

const QString kButtonStyle =
    QStringLiteral("QToolButton { border: none; border-radius: 6px; background: transparent; padding: 0px; }"
                   "QToolButton:hover { background: rgba(255, 255, 255, 40); }"
                   "QToolButton:pressed { background: rgba(255, 255, 255, 72); }"
                   "QToolButton:focus { border: 1px solid rgba(138, 180, 248, 220); }");

} // namespace

ViewerAppearance::ViewerAppearance(QWidget& window, const AppConfig& config, ViewerToolbar& toolbar,
                                   NoticeOverlay& notices)
    : QObject(&window), m_window(window), m_config(config), m_toolbar(toolbar), m_notices(notices)
{
    m_window.installEventFilter(this);
    apply();
}

ViewerAppearance::~ViewerAppearance()
{
    m_window.removeEventFilter(this);
}

void ViewerAppearance::apply()
{
    const Appearance wanted = appearanceOf(m_config);
    if (wanted == m_applied)
        return;
    m_applied = wanted;
    if (wanted == Appearance::Modern)
        becomeModern();
    else
        becomeClassic();
}

QLabel* ViewerAppearance::label(const char* name) const
{
    return m_window.findChild<QLabel*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

void ViewerAppearance::becomeModern()
{
    m_bar = new ModernBar(&m_window);
    auto* row = new QHBoxLayout(m_bar);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(2);
    const auto& buttons = m_toolbar.buttons();
    for (std::size_t i = 0; i < kToolbar.size(); ++i) {
        const ToolbarButton& entry = kToolbar[i];
        QToolButton* b = buttons[i];
        if (i > 0 && entry.x - kToolbar[i - 1].x > kGroupGap)
            row->addSpacing(10);
        b->setParent(m_bar);
        b->setAutoFillBackground(false);
        b->setAutoRaise(true);
        b->setStyleSheet(kButtonStyle);
        b->setIcon(toolbarIcon(entry.icon, kInk).icon);
        b->setIconSize(QSize(kIconSize, kIconSize));
        b->setFixedSize(kButtonSide, kButtonSide);
        row->addWidget(b);
        b->show();
    }
    m_bar->adjustSize();
    m_opacity = new QGraphicsOpacityEffect(m_bar);
    m_opacity->setOpacity(1.0);
    // Off while the bar is whole: an effect draws through an offscreen copy, which would blur the icons.
    m_opacity->setEnabled(false);
    m_bar->setGraphicsEffect(m_opacity);
    m_fade = new QPropertyAnimation(m_opacity, "opacity", m_bar);
    connect(m_fade, &QPropertyAnimation::finished, m_bar, [this] {
        if (m_opacity->opacity() >= 1.0)
            m_opacity->setEnabled(false);
    });
    placeBar();
    m_toolbar.setContainer(m_bar);
    m_window.setMouseTracking(true);

    for (const char* name : {"info", "fileName", "pageTitle"}) {
        QLabel* l = label(name);
        if (!l)
            continue;
        l->setAutoFillBackground(false);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(p);
        auto* shadow = new QGraphicsDropShadowEffect(l);
        shadow->setBlurRadius(8);
        shadow->setOffset(0, 1);
        shadow->setColor(QColor(0, 0, 0, 230));
        l->setGraphicsEffect(shadow);
    }
}

void ViewerAppearance::becomeClassic()
{
    m_window.setMouseTracking(false);
    m_notices.setBottomMargin(NoticeOverlay::kBottomMargin);
    m_toolbar.restoreClassic(&m_window);
    delete m_bar;
    m_bar = nullptr;
    m_opacity = nullptr;
    m_fade = nullptr;
    for (const char* name : {"info", "fileName", "pageTitle"}) {
        QLabel* l = label(name);
        if (!l)
            continue;
        l->setGraphicsEffect(nullptr);
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, kLabelColour);
        p.setColor(QPalette::WindowText, Qt::black);
        l->setPalette(p);
    }
}

void ViewerAppearance::placeBar()
{
    if (!m_bar)
        return;
    // A window narrower than the whole bar gets smaller buttons (and, below 28 pixels, smaller icons)
    // rather than buttons cut off at its edges.
    const auto& buttons = m_toolbar.buttons();
    const int count = int(buttons.size());
    const int side = buttons.front()->width();
    const int fixed = m_bar->sizeHint().width() - count * side;
    const int room = m_window.width() - 2 * kBarMargin;
    const int wanted = std::clamp((room - fixed) / count, kMinButtonSide, kButtonSide);
    if (wanted != side) {
        const int icon = std::min(kIconSize, wanted - 4);
        for (QToolButton* b : buttons) {
            b->setFixedSize(wanted, wanted);
            b->setIconSize(QSize(icon, icon));
        }
        m_bar->layout()->activate();
    }
    const QSize size = m_bar->sizeHint();
    m_bar->setGeometry((m_window.width() - size.width()) / 2, m_window.height() - size.height() - kBarMargin,
                       size.width(), size.height());
    m_notices.setBottomMargin(size.height() + 2 * kBarMargin);
}

qreal ViewerAppearance::barOpacity() const
{
    return m_opacity ? m_opacity->opacity() : 1.0;
}

void ViewerAppearance::fadeTo(qreal opacity, int ms)
{
    if (!m_bar)
        return;
    const bool moving = m_fade->state() == QAbstractAnimation::Running;
    if (moving && m_fade->endValue().toReal() == opacity)
        return;
    if (!moving && m_opacity->opacity() == opacity)
        return;
    m_fade->stop();
    m_opacity->setEnabled(true);
    m_fade->setDuration(ms);
    m_fade->setStartValue(m_opacity->opacity());
    m_fade->setEndValue(opacity);
    m_fade->start();
}

void ViewerAppearance::walked()
{
    fadeTo(0.0, kFadeOutMs);
}

void ViewerAppearance::reveal()
{
    fadeTo(1.0, kFadeInMs);
}

bool ViewerAppearance::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && m_bar) {
        if (event->type() == QEvent::Resize) {
            placeBar();
        } else if (event->type() == QEvent::MouseMove) {
            const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            if (at != m_lastPointer) {
                m_lastPointer = at;
                reveal();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

std::unique_ptr<HelpWindow> makeKeyHelp(QWidget* parent, const AppConfig& config)
{
    const bool modern = appearanceOf(config) == Appearance::Modern;
    auto help = std::make_unique<HelpWindow>(
        QString::fromStdString(keyHelpPage(modern ? KeyHelpLook::Modern : KeyHelpLook::Classic)), parent);
    if (modern) {
        // The page paints its own ground only as far as its text goes; the rest of the view matches it.
        QPalette p = help->browser()->palette();
        p.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
        p.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        help->browser()->setPalette(p);
    }
    return help;
}

int showKeyHelp(QWidget* parent, const AppConfig& config)
{
    return makeKeyHelp(parent, config)->exec();
}

} // namespace marquelo
