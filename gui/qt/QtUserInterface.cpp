#include "gui/qt/QtUserInterface.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>
#include <algorithm>

#include "gui/qt/FormKit.h"
#include "gui/qt/TKX_RS232_SetBRDlg.h"
#include "gui/qt/TKX_RS232_SetNumDlg.h"
#include "gui/qt/TMaskEdit.h"
#include "gui/qt/TOpenDialog.h"
#include "gui/qt/TPasswDlg.h"
#include "gui/qt/TProgressForm.h"
#include "ui/Texts.h"

namespace kx::gui {
namespace {

QMessageBox::StandardButton RunBox(QMessageBox::Icon icon, const char* caption, const std::string& text,
                                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton byDefault,
                                   QMessageBox::StandardButton onEscape) {
    QMessageBox box(icon, QString::fromUtf8(caption), QString::fromStdString(text), buttons);
    box.setTextFormat(Qt::PlainText);  // a file name with markup in it is shown as it is
    // Above the progress window, which stays on top of everything else.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.setDefaultButton(byDefault);
    box.setEscapeButton(onEscape);
    box.exec();
    // The close box counts as the escape button.
    return box.clickedButton() != nullptr ? box.standardButton(box.clickedButton()) : onEscape;
}

}  // namespace

void QtUserInterface::ShowError(const std::string& message) {
    RunBox(QMessageBox::Critical, texts::ErrorCaption, message, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

void QtUserInterface::ShowInfo(const std::string& message) {
    RunBox(QMessageBox::Information, texts::InfoCaption, message, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtUserInterface::AskYesNo(const std::string& message) {
    return RunBox(QMessageBox::Question, texts::ConfirmCaption, message, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                  QMessageBox::No) == QMessageBox::Yes;
}

void QtUserInterface::ProcessMessages() { QCoreApplication::processEvents(); }

std::unique_ptr<ui::ProgressWindow> QtUserInterface::CreateProgress() {
    auto form = std::make_unique<TProgressForm>();
    CentreOnScreen(*form);
    form->show();
    return form;
}

std::optional<std::string> QtUserInterface::ChoosePort(const std::vector<std::string>& entries, int selected) {
    TKX_RS232_SetNumDlg dialog;
    for (const auto& entry : entries) dialog.PCB->addItem(QString::fromStdString(entry));
    dialog.PCB->setCurrentIndex(selected >= 0 && selected < dialog.PCB->count() ? selected : -1);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.PCB->currentIndex() < 0 ? std::string() : dialog.PCB->currentText().toStdString();
}

std::optional<double> QtUserInterface::ChooseBaudRate(std::uint32_t current) {
    TKX_RS232_SetBRDlg dialog;
    dialog.BSE->setValue(static_cast<int>(std::min<std::uint32_t>(current, dialog.BSE->maximum())));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    dialog.BSE->interpretText();
    return static_cast<double>(dialog.BSE->value());
}

std::optional<std::string> QtUserInterface::EnterPassword(const std::string& prompt) {
    TPasswDlg dialog;
    dialog.Label1->setText(QString::fromStdString(prompt));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.MaskEdit1->EnteredText().toStdString();
}

std::optional<std::string> QtUserInterface::ChooseFile(const std::string& filter, const std::string& initialDir) {
    TOpenDialog dialog(owner_);
    dialog.Filter = filter;
    dialog.InitialDir = QString::fromStdString(initialDir);
    if (!dialog.Execute()) return std::nullopt;
    return dialog.FileName.toStdString();
}

}  // namespace kx::gui
