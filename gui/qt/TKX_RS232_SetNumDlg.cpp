#include "gui/qt/TKX_RS232_SetNumDlg.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "gui/qt/DialogFrame.h"
#include "gui/qt/FormKit.h"

namespace kx::gui {

TKX_RS232_SetNumDlg::TKX_RS232_SetNumDlg(QWidget* parent) : QDialog(parent, DialogWindowFlags()) {
    setWindowTitle(QStringLiteral("Выбор номера порта"));
    ApplyFormFont(*this);
    FixClientSize(*this, ClientWidth, ClientHeight);

    Label1 = new QLabel(QStringLiteral("Выберите последовательный порт"), this);
    Label1->setGeometry(8, 8, 201, 13);
    Label1->setWordWrap(true);
    // Sized for one line at 96 DPI; at a larger font it wraps and needs the room above the buttons.
    FitLabelHeight(*Label1, 46);

    // A drop-down list: only listed entries can be chosen. Device paths may be wider
    // than the box, so the open list may grow beyond it.
    PCB = new QComboBox(this);
    PCB->setEditable(false);
    PCB->setGeometry(224, 8, 105, PCB->sizeHint().height());
    PCB->view()->setTextElideMode(Qt::ElideNone);
    PCB->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    OKBtn = MakeOkButton(this, QRect(64, 48, 80, 27));
    CancelBtn = MakeCancelButton(this, QRect(156, 48, 80, 27));
    HelpBtn = MakeHelpButton(this, QRect(248, 48, 80, 27));
    ConnectDialogButtons(*this, OKBtn, CancelBtn, HelpBtn);

    ShowTextAsText(*this);
    setTabOrder(PCB, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, HelpBtn);
    PCB->setFocus();
}

}  // namespace kx::gui
