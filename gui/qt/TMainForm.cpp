#include "gui/qt/TMainForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "gui/qt/FormKit.h"
#include "gui/qt/WindowPlacementMap.h"

namespace kx::gui {

namespace form = ui::forms::main_window;

TMainForm::TMainForm(ui::UserInterface& ui, app::MainPresenter::LinkFactory makeLink, const std::string& mutexName,
                     QWidget* parent)
    : QWidget(parent, WindowFlagsOf(ui::forms::MainWindow.frame)), presenter_(*this, ui, std::move(makeLink), mutexName) {
    const FormBuilder built(*this, ui::forms::MainWindow);
    bRS232 = built.Get<QPushButton>(form::bRS232);
    bOpen = built.Get<QPushButton>(form::bOpen);
    bLoad = built.Get<QPushButton>(form::bLoad);
    lFN = built.Get<QLabel>(form::lFN);
    Label1 = built.Get<QLabel>(form::Label1);
    connect(bRS232, &QPushButton::clicked, this, [this] { presenter_.bRS232Click(); });
    connect(bOpen, &QPushButton::clicked, this, [this] { presenter_.bOpenClick(); });
    connect(bLoad, &QPushButton::clicked, this, [this] { presenter_.bLoadClick(); });
}

TMainForm::~TMainForm() = default;

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;  // back from minimised: not a new show
    presenter_.FormShow();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (presenter_.FormClose()) event->accept();
    else event->ignore();
}

void TMainForm::SetCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void TMainForm::ShowImagePath(const std::string& path) { lFN->setText(QString::fromStdString(path)); }

void TMainForm::SetBusy(bool busy) {
    for (QPushButton* button : {bRS232, bOpen, bLoad}) button->setEnabled(!busy);
}

app::WindowPlacement TMainForm::Placement() const { return PlacementOf(*this, app::MainPresenter::MainBorder); }

void TMainForm::ApplyPlacement(const app::WindowPlacement& placement) { gui::ApplyPlacement(*this, placement); }

app::ScreenArea TMainForm::Screen() const { return ScreenOf(*this); }

}  // namespace kx::gui
