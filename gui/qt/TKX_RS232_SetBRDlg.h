#pragma once
// The baud-rate dialog: one spin edit for the rate in bit/s. No logic of its own; the
// link's rate selection fills it, shows it and reads the value.
#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;

namespace kx::gui {

class TKX_RS232_SetBRDlg final : public QDialog {
    Q_OBJECT

public:
    explicit TKX_RS232_SetBRDlg(QWidget* parent = nullptr);

    QLabel* Label2;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;
    QSpinBox* BSE;
};

}  // namespace kx::gui
