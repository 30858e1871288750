#include "gui/qt/TProgressForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <algorithm>

#include "gui/qt/FormKit.h"

namespace kx::gui {

namespace {

QProgressBar* MakeGauge(QWidget* parent) {
    auto* gauge = new QProgressBar(parent);
    gauge->setGeometry(21, 48, 220, 25);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setFormat(QStringLiteral("%p%"));  // the value as "%d%%": 42%
    gauge->setAlignment(Qt::AlignCenter);
    gauge->setTextVisible(true);
    QPalette palette = gauge->palette();
    palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
    gauge->setPalette(palette);
    return gauge;
}

}  // namespace

TProgressForm::TProgressForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Progress..."));
    ApplyFormFont(*this);
    FixClientSize(*this, ClientWidth, ClientHeight);

    ProgressGauge = MakeGauge(this);

    ProgressLabel = new QLabel(QStringLiteral("Прогресс"), this);
    ProgressLabel->setGeometry(0, 0, ClientWidth, 41);
    ProgressLabel->setAlignment(Qt::AlignCenter);
    ProgressLabel->setWordWrap(true);

    BitBtn1 = MakeCancelButton(this, QRect(75, 80, 111, 25));
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ShowTextAsText(*this);

    FormCreate();
}

void TProgressForm::SetLabel(const std::string& text) { ProgressLabel->setText(QString::fromStdString(text)); }

void TProgressForm::SetGaugeVisible(bool visible) { ProgressGauge->setVisible(visible); }

void TProgressForm::SetProgress(int percent) { ProgressGauge->setValue(std::clamp(percent, 0, 100)); }

void TProgressForm::ShowCancelButton() { BitBtn1->setVisible(true); }

void TProgressForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && BitBtn1->isVisible()) BitBtn1->click();
    else QWidget::keyPressEvent(event);
}

void TProgressForm::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace kx::gui
