#pragma once
// The progress window of a load procedure: a caption, a percentage gauge and a cancel
// button. The user cannot close it; cancel only raises Cancelled, and the running
// procedure decides when to stop.
#include <QWidget>
#include <string>

#include "ui/UserInterface.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kx::gui {

class TProgressForm final : public QWidget, public ui::ProgressWindow {
    Q_OBJECT

public:
    explicit TProgressForm(QWidget* parent = nullptr);

    QProgressBar* ProgressGauge;
    QLabel* ProgressLabel;
    QPushButton* BitBtn1;

    void SetLabel(const std::string& text) override;
    void SetGaugeVisible(bool visible) override;
    void SetProgress(int percent) override;
    void ShowCancelButton() override;
    bool Cancelled() const override { return cancelled_; }

    void FormCreate() { cancelled_ = false; }
    void BitBtn1Click() { cancelled_ = true; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc presses the cancel button, wherever the focus is in the window.
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool cancelled_ = false;
};

}  // namespace kx::gui
