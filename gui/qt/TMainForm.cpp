#include "gui/qt/TMainForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "ui/Texts.h"
#include "gui/qt/FormKit.h"
#include "gui/qt/WindowPlacementMap.h"

namespace kx::gui {

namespace {

QPushButton* MakePushButton(QWidget* parent, const char* text, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(geometry);
    return button;
}

}  // namespace

TMainForm::TMainForm(ui::UserInterface& ui, app::MainPresenter::LinkFactory makeLink, const std::string& mutexName,
                     QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      presenter_(*this, ui, std::move(makeLink), mutexName) {
    setWindowTitle(QString::fromLatin1(texts::ResourceCaption));
    ApplyFormFont(*this);
    FixClientSize(*this, ClientWidth, ClientHeight);
    BuildComponents();
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildComponents() {
    bRS232 = MakePushButton(this, texts::PortButton, QRect(24, 16, 321, 25));
    bOpen = MakePushButton(this, texts::OpenButton, QRect(24, 56, 321, 25));
    bLoad = MakePushButton(this, texts::LoadButton, QRect(24, 136, 321, 25));
    setTabOrder(bRS232, bOpen);
    setTabOrder(bOpen, bLoad);
    connect(bRS232, &QPushButton::clicked, this, [this] { presenter_.bRS232Click(); });
    connect(bOpen, &QPushButton::clicked, this, [this] { presenter_.bOpenClick(); });
    connect(bLoad, &QPushButton::clicked, this, [this] { presenter_.bLoadClick(); });

    lFN = new QLabel(QStringLiteral("lFN"), this);
    lFN->setGeometry(24, 88, 321, 41);
    lFN->setWordWrap(true);
    lFN->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Label1 = new QLabel(QString::fromUtf8(texts::Warning), this);
    Label1->setGeometry(0, ClientHeight - 75, ClientWidth, 75);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setAutoFillBackground(true);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::Window, QColor(255, 0, 255));
    Label1->setPalette(palette);
    ShowTextAsText(*this);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;  // back from minimised: not a new show
    presenter_.FormShow();
    // The window always opens centred; only the restored state survives.
    if (!isMaximized()) CentreOnScreen(*this);
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

}  // namespace kx::gui
