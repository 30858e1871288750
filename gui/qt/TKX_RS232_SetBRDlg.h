#pragma once
// The baud-rate dialog: one spin edit for the rate in bit/s. No logic of its own; the
// link's rate selection fills it, shows it and reads the value.
#include <QDialog>

#include "link/KX_RS_Base.h"

class QLabel;
class QPushButton;
class QSpinBox;

namespace kx::gui {

class TKX_RS232_SetBRDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 301;
    static constexpr int ClientHeight = 89;
    static constexpr int HelpContext = 10305;
    static constexpr int MinRate = static_cast<int>(link::TKX_RS_Base::MinDialogRate);
    static constexpr int MaxRate = static_cast<int>(link::TKX_RS_Base::MaxDialogRate);

    explicit TKX_RS232_SetBRDlg(QWidget* parent = nullptr);

    QLabel* Label2;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;
    QSpinBox* BSE;
};

}  // namespace kx::gui
