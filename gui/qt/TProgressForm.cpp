#include "gui/qt/TProgressForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QKeyEvent>
#include <algorithm>

#include "gui/qt/FormKit.h"

namespace kx::gui {

namespace form = ui::forms::progress_window;

TProgressForm::TProgressForm(QWidget* parent) : QWidget(parent, WindowFlagsOf(ui::forms::ProgressWindow.frame)) {
    const FormBuilder built(*this, ui::forms::ProgressWindow);
    ProgressGauge = built.Get<QProgressBar>(form::ProgressGauge);
    ProgressLabel = built.Get<QLabel>(form::ProgressLabel);
    BitBtn1 = built.Get<QPushButton>(form::BitBtn1);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    FormCreate();
}

void TProgressForm::SetLabel(const std::string& text) { ProgressLabel->setText(QString::fromStdString(text)); }

void TProgressForm::SetGaugeVisible(bool visible) { ProgressGauge->setVisible(visible); }

void TProgressForm::SetProgress(int percent) {
    ProgressGauge->setValue(std::clamp(percent, form::ProgressGauge.minimum, form::ProgressGauge.maximum));
}

void TProgressForm::ShowCancelButton() { BitBtn1->setVisible(true); }

void TProgressForm::keyPressEvent(QKeyEvent* event) {
    // A hidden cancel button takes no Esc.
    if (event->key() == Qt::Key_Escape && BitBtn1->isVisible()) BitBtn1->click();
    else QWidget::keyPressEvent(event);
}

void TProgressForm::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace kx::gui
