#pragma once
// Drives the modal windows a test provokes: every message box is recorded
// ("caption|text") and answered, every other modal dialog is handed to the next
// scripted step. Runs on a short timer, which also fires inside nested event loops.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

namespace kx::test {

class ModalDriver final : public QObject {
public:
    using Step = std::function<void(QWidget* dialog)>;

    ModalDriver() {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(5);
    }

    // Message boxes seen, in order, as "caption|text".
    QStringList boxes;
    // Dialogs seen (window titles), in order.
    QStringList dialogs;
    // The answer to message boxes; the default button when NoButton.
    QMessageBox::StandardButton boxAnswer = QMessageBox::NoButton;
    // Steps for the dialogs, front first; a dialog without a step is rejected.
    std::deque<Step> steps;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || modal->property("kx-driven").toBool()) return;
        modal->setProperty("kx-driven", true);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes << box->windowTitle() + u'|' + box->text();
            QAbstractButton* answer =
                boxAnswer == QMessageBox::NoButton ? box->defaultButton() : box->button(boxAnswer);
            if (answer != nullptr) answer->click();
            else box->reject();
            return;
        }
        dialogs << modal->windowTitle();
        if (steps.empty()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            return;
        }
        Step step = std::move(steps.front());
        steps.pop_front();
        step(modal);
    }

    QTimer timer_;
};

}  // namespace kx::test
