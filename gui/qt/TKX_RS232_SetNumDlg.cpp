#include "gui/qt/TKX_RS232_SetNumDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "gui/qt/FormKit.h"

namespace kx::gui {

namespace form = ui::forms::port_dialog;

TKX_RS232_SetNumDlg::TKX_RS232_SetNumDlg(QWidget* parent)
    : QDialog(parent, WindowFlagsOf(ui::forms::PortDialog.frame)) {
    const FormBuilder built(*this, ui::forms::PortDialog);
    Label1 = built.Get<QLabel>(form::Label1);
    PCB = built.Get<QComboBox>(form::PCB);
    OKBtn = built.Get<QPushButton>(form::OKBtn);
    CancelBtn = built.Get<QPushButton>(form::CancelBtn);
    HelpBtn = built.Get<QPushButton>(form::HelpBtn);
    // Sized for one line at 96 DPI; at a larger font it wraps and needs the room above the buttons.
    FitLabelHeight(*Label1, form::OKBtn.bounds.top);
}

}  // namespace kx::gui
