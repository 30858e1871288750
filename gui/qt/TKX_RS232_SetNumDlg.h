#pragma once
// The port-number dialog: a drop-down list of the free ports. No logic of its own; the
// link's port selection fills it, shows it and reads the selected entry.
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace kx::gui {

class TKX_RS232_SetNumDlg final : public QDialog {
    Q_OBJECT

public:
    explicit TKX_RS232_SetNumDlg(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* PCB;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;
};

}  // namespace kx::gui
