#pragma once
// The program's main window: port, open and load buttons, the image path and the
// warning. Widgets only; what the window does is the presenter's.
#include <QWidget>
#include <memory>
#include <string>

#include "app/MainPresenter.h"

class QLabel;
class QPushButton;

namespace kx::ui {
class UserInterface;
}

namespace kx::gui {

class TMainForm final : public QWidget, private app::MainView {
    Q_OBJECT

public:
    explicit TMainForm(ui::UserInterface& ui, app::MainPresenter::LinkFactory makeLink,
                       const std::string& mutexName = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Components, in declaration order.
    QPushButton* bRS232;
    QPushButton* bOpen;
    QPushButton* bLoad;
    QLabel* lFN;
    QLabel* Label1;

    app::MainPresenter& Presenter() { return presenter_; }
    link::TKX_RS* Link() const { return presenter_.Link(); }
    bool SessionRunning() const { return presenter_.SessionRunning(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:

    void SetCaption(const std::string& caption) override;
    void ShowImagePath(const std::string& path) override;
    void SetBusy(bool busy) override;
    app::WindowPlacement Placement() const override;
    void ApplyPlacement(const app::WindowPlacement& placement) override;
    app::ScreenArea Screen() const override;
    void Close() override { close(); }

    app::MainPresenter presenter_;
};

}  // namespace kx::gui
