#include "gui/qt/TPasswDlg.h"

#include <QLabel>
#include <QPushButton>

#include "gui/qt/FormKit.h"
#include "gui/qt/TMaskEdit.h"

namespace kx::gui {

namespace form = ui::forms::password_dialog;

TPasswDlg::TPasswDlg(QWidget* parent) : QDialog(parent, WindowFlagsOf(ui::forms::PasswordDialog.frame)) {
    const FormBuilder built(*this, ui::forms::PasswordDialog);
    Label1 = built.Get<QLabel>(form::Label1);
    MaskEdit1 = built.Get<TMaskEdit>(form::MaskEdit1);
    OKBtn = built.Get<QPushButton>(form::OKBtn);
    CancelBtn = built.Get<QPushButton>(form::CancelBtn);
}

}  // namespace kx::gui
