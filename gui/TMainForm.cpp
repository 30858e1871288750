#include "gui/TMainForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <exception>

#include "app/KXIniFile.h"
#include "gui/FormKit.h"
#include "gui/WindowPlacementMap.h"
#include "link/KX_RS232.h"
#include "platform/Process.h"
#include "ui/PassW.h"
#include "ui/SysUtils.h"
#include "ui/UserInterface.h"

namespace kx::gui {

namespace {

constexpr const char* WarningText =
    "ВНИМАНИЕ!\nВнимательно проверьте соответствие версий Вашего устройства и загружаемого "
    "программного обеспечения. При их несовпадении устройство может выйти из строя.";
constexpr auto MainBorder = app::WindowPlacement::Border::Single;

std::unique_ptr<link::TKX_RS> SystemLink(ui::UserInterface& ui) {
    return std::make_unique<link::TKX_RS>(nullptr, nullptr, link::LinkContext{.ui = ui});
}

QPushButton* MakePushButton(QWidget* parent, const char* text, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(geometry);
    return button;
}

}  // namespace

// Disables what could start a second session or end the program under a running
// one, and gives it back on every way out.
class TMainForm::SessionScope {
public:
    explicit SessionScope(TMainForm& form) : form_(form) { form_.SetSessionRunning(true); }
    ~SessionScope() { form_.SetSessionRunning(false); }
    SessionScope(const SessionScope&) = delete;
    SessionScope& operator=(const SessionScope&) = delete;

private:
    TMainForm& form_;
};

TMainForm::TMainForm(ui::UserInterface& ui, LinkFactory makeLink, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      OpenDialog1(this),
      ui_(ui),
      makeLink_(makeLink ? std::move(makeLink) : LinkFactory(SystemLink)) {
    setWindowTitle(QString::fromLatin1(ResourceCaption));
    ApplyFormFont(*this);
    FixClientSize(*this, ClientWidth, ClientHeight);
    BuildComponents();
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildComponents() {
    bRS232 = MakePushButton(this, "Выбрать СОМ-порт", QRect(24, 16, 321, 25));
    bOpen = MakePushButton(this, "Открыть файл прошивки", QRect(24, 56, 321, 25));
    bLoad = MakePushButton(this, "Загрузить ", QRect(24, 136, 321, 25));
    setTabOrder(bRS232, bOpen);
    setTabOrder(bOpen, bLoad);
    connect(bRS232, &QPushButton::clicked, this, [this] { bRS232Click(); });
    connect(bOpen, &QPushButton::clicked, this, [this] { bOpenClick(); });
    connect(bLoad, &QPushButton::clicked, this, [this] { bLoadClick(); });

    OpenDialog1.Filter = ImageFilter;

    lFN = new QLabel(QStringLiteral("lFN"), this);
    lFN->setGeometry(24, 88, 321, 41);
    lFN->setWordWrap(true);
    lFN->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label1 = new QLabel(QString::fromUtf8(WarningText), this);
    Label1->setGeometry(0, ClientHeight - 75, ClientWidth, 75);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setAutoFillBackground(true);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 255));
    Label1->setPalette(palette);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;  // back from minimised: not a new show
    Guarded([this] { FormShow(); });
    // The window always opens centred; only the restored state survives.
    if (!isMaximized()) CentreOnScreen(*this);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (sessionRunning_) {
        event->ignore();  // the progress window's cancel is the way out of a session
        return;
    }
    // A failed save is reported, but never keeps the user from closing the program.
    Guarded([this] { FormClose(); });
    event->accept();
}

void TMainForm::FormShow() {
    setWindowTitle(QString::fromLatin1(ShownCaption));
    ui::InitEnvironment();
    link_.reset();  // a link from an earlier show lets go of its port first
    link_ = makeLink_(ui_);
    link_->SetLineMode(2);
    ImageFileName.clear();
    {
        app::TKXIniFile ini;
        link_->LoadSettings(ini);
        ImageFileName = ini.ReadString("Common", "FN", "");
        RestorePlacement(ini);
    }
    lFN->setText(QString::fromStdString(ImageFileName));
    ui::AccessGranted = true;
    OpenDialog1.InitialDir = QString::fromStdString(platform::ExecutableDir());
    link_->SetBaudRate(StartBaudRate);
}

void TMainForm::RestorePlacement(const app::TKXIniFile& ini) {
    app::WindowPlacement placement = PlacementOf(*this, MainBorder);
    ini.ReadPlacement("MainWindow", placement);
    ApplyPlacement(*this, placement);
}

void TMainForm::FormClose() {
    ui::InitEnvironment();
    app::TKXIniFile ini;
    if (link_) link_->SaveSettings(ini);
    ini.WriteString("Common", "FN", ImageFileName);
    ini.WritePlacement("MainWindow", PlacementOf(*this, MainBorder));
}

void TMainForm::bRS232Click() {
    if (!link_ || sessionRunning_) return;
    Guarded([this] { link_->SelectPort(); });
}

void TMainForm::bOpenClick() {
    if (sessionRunning_) return;
    if (!OpenDialog1.Execute()) return;
    ImageFileName = OpenDialog1.FileName.toStdString();
    lFN->setText(OpenDialog1.FileName);
}

void TMainForm::bLoadClick() {
    if (!link_ || sessionRunning_) return;
    SessionScope scope(*this);
    Guarded([this] { app::RunBootSession(*link_, ImageFileName, HeadBytes); });
}

void TMainForm::SetSessionRunning(bool running) {
    sessionRunning_ = running;
    for (QPushButton* button : {bRS232, bOpen, bLoad}) button->setEnabled(!running);
}

void TMainForm::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ui_.ShowError(error.what());
    }
}

}  // namespace kx::gui
