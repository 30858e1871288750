#include "gui/qt/TKX_RS232_SetBRDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "gui/qt/DialogFrame.h"
#include "gui/qt/FormKit.h"

namespace kx::gui {

TKX_RS232_SetBRDlg::TKX_RS232_SetBRDlg(QWidget* parent) : QDialog(parent, DialogWindowFlags()) {
    setWindowTitle(QStringLiteral("Выбор скорости обмена СОМ-порта"));
    ApplyFormFont(*this);
    FixClientSize(*this, ClientWidth, ClientHeight);

    Label2 = new QLabel(QStringLiteral("Скорость обмена, бод"), this);
    Label2->setGeometry(8, 16, 153, 13);

    OKBtn = MakeOkButton(this, QRect(8, 48, 80, 27));
    CancelBtn = MakeCancelButton(this, QRect(108, 48, 80, 27));
    HelpBtn = MakeHelpButton(this, QRect(208, 48, 80, 27));
    ConnectDialogButtons(*this, OKBtn, CancelBtn, HelpBtn);

    BSE = new QSpinBox(this);
    BSE->setGeometry(192, 12, 97, BSE->sizeHint().height());
    BSE->setRange(MinRate, MaxRate);
    BSE->setSingleStep(10);
    BSE->setValue(MinRate);
    BSE->setAlignment(Qt::AlignRight);
    // A value typed outside the range is brought to the nearest bound.
    BSE->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);

    ShowTextAsText(*this);
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, HelpBtn);
    setTabOrder(HelpBtn, BSE);
    OKBtn->setFocus();
}

}  // namespace kx::gui
