#include "harness/DialogPilot.h"

#include "ui/page/PagePropertiesDialog.h"
#include "ui/viewer/RenameDialog.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>

namespace marquelo::test {

DialogPilot::DialogPilot()
{
    m_timer.setInterval(2);
    connect(&m_timer, &QTimer::timeout, this, &DialogPilot::tick);
    m_timer.start();
}

void DialogPilot::tick()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    if (modal != m_current) {
        m_current = modal;
        m_attempts = 0;
    }
    // The dialog is still open after an answer: the program refused it (and said why). Give up on it.
    if (++m_attempts > 2) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            ++m_cancelled;
            dialog->reject();
        } else {
            modal->close();
        }
        return;
    }
    answer(modal);
}

void DialogPilot::answer(QWidget* modal)
{
    auto* dialog = qobject_cast<QDialog*>(modal);
    if (!dialog) {
        modal->close();
        return;
    }
    if (auto* rename = qobject_cast<RenameDialog*>(dialog)) {
        if (renameTo.empty()) {
            ++m_cancelled;
            rename->reject();
            return;
        }
        const QString name = renameTo.front();
        renameTo.pop_front();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const QList<QLineEdit*> boxes = rename->findChildren<QLineEdit*>();
        if (boxes.size() >= 2) {
            boxes[0]->setText(dot < 0 ? QString() : name.left(dot));
            boxes[1]->setText(dot < 0 ? name : name.mid(dot + 1));
        }
    } else if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
        if (chooseFile.empty()) {
            ++m_cancelled;
            files->reject();
            return;
        }
        files->selectFile(chooseFile.front());
        chooseFile.pop_front();
    } else if (auto* setup = qobject_cast<PagePropertiesDialog*>(dialog)) {
        const QList<QLineEdit*> boxes = setup->findChildren<QLineEdit*>();
        if (!boxes.isEmpty() && boxes.front()->text().isEmpty())
            boxes.front()->setText(pageTitle);
    }
    ++m_answered;
    dialog->accept();
}

} // namespace marquelo::test
