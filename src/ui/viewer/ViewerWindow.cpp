#include "ui/viewer/ViewerWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace marquelo {

// A first, plain window: title, info line and file name. The full viewer grows from here.
ViewerWindow::ViewerWindow(AppConfig& config, ImageList& images, UserInterface& ui, QWidget* parent)
    : QWidget(parent), m_config(config), m_images(images), m_ui(ui)
{
    m_info = new QLabel(this);
    m_info->setGeometry(3, 3, 56, 18);
    m_fileName = new QLabel(this);
    m_fileName->setGeometry(62, 3, 168, 18);
    m_caption = new QLineEdit(this);
    m_caption->hide();
    resize(1024, 700);
}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::showCurrent()
{
    const std::string& name = m_images.currentName();
    const QString shown = name.empty() ? QStringLiteral("file_not_found") : QString::fromStdString(name);
    m_info->setText(QStringLiteral("%1/%2").arg(m_images.currentIndex() + 1).arg(m_images.count()));
    m_fileName->setText(shown);
    setWindowTitle(QStringLiteral("%1/%2 - Marquelo").arg(QString::fromStdString(m_images.directory()), shown));
}

void ViewerWindow::setCommandHandler(Command command, std::function<void()> handler)
{
    m_handlers[std::size_t(command)] = std::move(handler);
}

void ViewerWindow::runCommand(Command command)
{
    if (auto& h = m_handlers[std::size_t(command)])
        h();
}

void ViewerWindow::startCaptionInput()
{
    m_caption->clear();
    m_captionActive = true;
    m_caption->show();
    m_caption->setFocus();
}

void ViewerWindow::endCaptionInput()
{
    m_captionActive = false;
    m_caption->hide();
}

QString ViewerWindow::captionText() const
{
    return m_caption->text();
}

void ViewerWindow::setCaptionHandlers(std::function<void(bool)> onEnter, std::function<void()> onEscape)
{
    m_captionEnter = std::move(onEnter);
    m_captionEscape = std::move(onEscape);
}

void ViewerWindow::applySettings() {}

void ViewerWindow::updateToolButtons() {}

void ViewerWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ViewerWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    Q_EMIT exitRequested();
}

} // namespace marquelo
