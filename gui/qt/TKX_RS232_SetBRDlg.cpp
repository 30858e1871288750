#include "gui/qt/TKX_RS232_SetBRDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "gui/qt/FormKit.h"

namespace kx::gui {

namespace form = ui::forms::baud_dialog;

TKX_RS232_SetBRDlg::TKX_RS232_SetBRDlg(QWidget* parent)
    : QDialog(parent, WindowFlagsOf(ui::forms::BaudDialog.frame)) {
    const FormBuilder built(*this, ui::forms::BaudDialog);
    Label2 = built.Get<QLabel>(form::Label2);
    OKBtn = built.Get<QPushButton>(form::OKBtn);
    CancelBtn = built.Get<QPushButton>(form::CancelBtn);
    HelpBtn = built.Get<QPushButton>(form::HelpBtn);
    BSE = built.Get<QSpinBox>(form::BSE);
}

}  // namespace kx::gui
