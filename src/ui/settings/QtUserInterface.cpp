#include "ui/settings/QtUserInterface.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace marquelo {

namespace {
const QString kCaption = QStringLiteral("Marquelo");

QString shownText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A file may be called "<h1>x<img src=other.jpg>.jpg": the box must show that name, not render it.
void showMessage(QMessageBox::Icon icon, std::string_view text, QWidget* owner)
{
    QMessageBox box(icon, kCaption, shownText(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

QWidget* QtUserInterface::owner() const
{
    if (QWidget* active = QApplication::activeModalWidget())
        return active;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return m_fallbackParent;
}

void QtUserInterface::message(std::string_view text)
{
    showMessage(QMessageBox::NoIcon, text, owner());
}

void QtUserInterface::information(std::string_view text)
{
    showMessage(QMessageBox::Information, text, owner());
}

UserInterface::Answer QtUserInterface::ask(std::string_view text, Buttons buttons)
{
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    switch (buttons) {
    case Buttons::Ok: set = QMessageBox::Ok; break;
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox box(QMessageBox::Question, kCaption, shownText(text), set, owner());
    box.setTextFormat(Qt::PlainText);
    // Escape and the close box answer with the last button, as the question boxes always did.
    if (buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo)
        box.setEscapeButton(QMessageBox::No);
    else if (buttons == Buttons::YesNoCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    if (buttons == Buttons::YesNoDefaultNo)
        box.setDefaultButton(QMessageBox::No);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    switch (clicked) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: break;
    }
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo: return Answer::No;
    case Buttons::YesNoCancel: return Answer::Cancel;
    }
    return Answer::Cancel;
}

} // namespace marquelo
