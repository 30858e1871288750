#pragma once
// The password dialog in front of the port settings: a prompt and a masked entry.
#include <QDialog>

class QLabel;
class QPushButton;

namespace kx::gui {

class TMaskEdit;

class TPasswDlg final : public QDialog {
    Q_OBJECT

public:
    explicit TPasswDlg(QWidget* parent = nullptr);

    QLabel* Label1;
    TMaskEdit* MaskEdit1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

}  // namespace kx::gui
