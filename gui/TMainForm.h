#pragma once
// The program's main window: port, open and load buttons, the image path and the
// warning. It owns the start-up (link, settings, placement) and the shut-down.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/BootSession.h"
#include "app/JustOne.h"
#include "gui/TOpenDialog.h"

class QLabel;
class QPushButton;

namespace kx::link {
class TKX_RS;
}
namespace kx::app {
class TKXIniFile;
}
namespace kx::ui {
class UserInterface;
}

namespace kx::gui {

class TMainForm final : public QWidget {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 361;
    static constexpr int ClientHeight = 251;
    static constexpr const char* ResourceCaption = "BootLoader for PIC24/PIC33";
    static constexpr const char* ShownCaption = "BootLoader for PIC33E";
    static constexpr const char* ImageFilter = "Файлы прошивок (*.rom)|*.rom";
    static constexpr std::uint32_t StartBaudRate = 19200;

    // Makes the one link object at the first show; the system's serial ports unless a
    // test supplies its own.
    using LinkFactory = std::function<std::unique_ptr<link::TKX_RS>(ui::UserInterface&)>;

    explicit TMainForm(ui::UserInterface& ui, LinkFactory makeLink = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Components, in declaration order.
    QPushButton* bRS232;
    QPushButton* bOpen;
    QPushButton* bLoad;
    app::TJustOne JustOne1;
    TOpenDialog OpenDialog1;
    QLabel* lFN;
    QLabel* Label1;

    std::string ImageFileName;
    app::HeadBytes HeadBytes{};

    void FormShow();
    void FormClose();
    void bRS232Click();
    void bOpenClick();
    void bLoadClick();

    link::TKX_RS* Link() const { return link_.get(); }
    bool SessionRunning() const { return sessionRunning_; }

    // Restores the placement kept in section "MainWindow" (part of FormShow).
    void RestorePlacement(const app::TKXIniFile& ini);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class SessionScope;

    void BuildComponents();
    void SetSessionRunning(bool running);
    // The application's general error report for what a handler did not expect.
    void Guarded(const std::function<void()>& handler);

    ui::UserInterface& ui_;
    LinkFactory makeLink_;
    std::unique_ptr<link::TKX_RS> link_;
    bool sessionRunning_ = false;
};

}  // namespace kx::gui
