#include "gui/qt/TPasswDlg.h"

#include <QLabel>
#include <QPushButton>

#include "gui/qt/DialogFrame.h"
#include "gui/qt/FormKit.h"
#include "gui/qt/TMaskEdit.h"

namespace kx::gui {

namespace {

void UseRegularFont(QWidget& widget) {
    QFont font = widget.font();
    font.setBold(false);
    widget.setFont(font);
}

}  // namespace

TPasswDlg::TPasswDlg(QWidget* parent) : QDialog(parent, DialogWindowFlags()) {
    setWindowTitle(QStringLiteral("Контроль доступа"));
    ApplyFormFont(*this, /*bold=*/true);
    FixClientSize(*this, ClientWidth, ClientHeight);

    Label1 = new QLabel(this);
    Label1->setGeometry(8, 9, 217, 39);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    UseRegularFont(*Label1);

    MaskEdit1 = new TMaskEdit(this);
    MaskEdit1->setGeometry(53, 64, 128, MaskEdit1->sizeHint().height());
    UseRegularFont(*MaskEdit1);

    OKBtn = MakeOkButton(this, QRect(18, 99, 77, 27));
    CancelBtn = MakeCancelButton(this, QRect(130, 99, 77, 27));
    ConnectDialogButtons(*this, OKBtn, CancelBtn);

    ShowTextAsText(*this);
    setTabOrder(MaskEdit1, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    MaskEdit1->setFocus();
}

}  // namespace kx::gui
