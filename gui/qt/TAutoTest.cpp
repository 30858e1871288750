#include "gui/qt/TAutoTest.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "gui/qt/TMainForm.h"
#include "gui/qt/TProgressForm.h"
#include "link/LoadOutcome.h"

namespace kx::gui {

using namespace std::chrono_literals;

namespace {
constexpr auto StartDelay = 300ms;      // the window is shown and laid out
constexpr auto AnswerDelay = 200ms;     // a message box stays up long enough to be seen
constexpr auto ProgressPeriod = 50ms;
constexpr int ProgressPictureAt = 40;   // keep a picture of the gauge about this far
constexpr auto GapTickPeriod = 2ms;     // the event-loop probe
}  // namespace

std::unique_ptr<TAutoTest> TAutoTest::FromEnvironment(TMainForm& form) {
    const char* folder = std::getenv(EnvironmentName);
    if (folder == nullptr || folder[0] == '\0') return nullptr;
    return std::make_unique<TAutoTest>(QString::fromLocal8Bit(folder), form);
}

TAutoTest::TAutoTest(const QString& folder, TMainForm& form)
    : folder_(folder), form_(form), progressTimer_(new QTimer(this)) {
    folder_.mkpath(QStringLiteral("."));
    QFile::remove(folder_.filePath(QStringLiteral("messages.log")));
    qApp->installEventFilter(this);
    connect(progressTimer_, &QTimer::timeout, this, [this] { GrabProgress(); });
    const char* loopGap = std::getenv(LoopGapName);
    if (loopGap != nullptr && loopGap[0] != '\0') {
        // Pictures take milliseconds each; while measuring, nothing of ours may block.
        gapTimer_ = new QTimer(this);
        gapTimer_->setTimerType(Qt::PreciseTimer);
        connect(gapTimer_, &QTimer::timeout, this, [this] { OnGapTick(); });
    } else {
        progressTimer_->start(ProgressPeriod);
    }
    QTimer::singleShot(StartDelay, this, [this] { Run(); });
}

void TAutoTest::Run() {
    Grab(form_, QStringLiteral("main.png"));
    if (gapTimer_ != nullptr) {
        sinceTick_.start();
        sinceStart_.start();
        gapTimer_->start(GapTickPeriod);
    }
    form_.bLoad->click();  // the whole session runs inside
    if (gapTimer_ != nullptr) {
        OnGapTick();
        gapTimer_->stop();
        WriteLoopGap();
    }
    WriteOutcome();
    Grab(form_, QStringLiteral("main-after.png"));
    progressTimer_->stop();
    form_.close();
}

void TAutoTest::OnGapTick() {
    const qint64 gap = sinceTick_.nsecsElapsed();
    sinceTick_.restart();
    ++gapTicks_;
    if (gap > 15'000'000) ++gapsOver15ms_;
    if (gap > longestGapNs_) {
        longestGapNs_ = gap;
        longestGapEndNs_ = sinceStart_.nsecsElapsed();
    }
}

void TAutoTest::WriteLoopGap() const {
    QFile file(folder_.filePath(QStringLiteral("loop-gap.txt")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return;
    QTextStream(&file) << "longest_gap_ms=" << QString::number(static_cast<double>(longestGapNs_) / 1e6, 'f', 3)
                       << " at_ms=" << longestGapEndNs_ / 1'000'000 << " over_15ms=" << gapsOver15ms_
                       << " ticks=" << gapTicks_ << '\n';
}

void TAutoTest::WriteOutcome() const {
    QFile file(folder_.filePath(QStringLiteral("outcome.txt")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return;
    QTextStream(&file) << QString::fromStdString(link::OutcomeLine(form_.Presenter().LastOutcome())) << '\n';
}

bool TAutoTest::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) return false;
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (box == nullptr) return false;
    QString text = box->text();
    text.replace(u'\n', QStringLiteral("\\n"));
    Log(box->windowTitle() + u'\t' + text);
    const QString picture = QStringLiteral("message-%1.png").arg(++messages_);
    QTimer::singleShot(AnswerDelay, box, [this, box, picture] {
        Grab(*box, picture);
        if (QPushButton* answer = box->defaultButton()) answer->click();
        else box->accept();
    });
    return false;
}

void TAutoTest::GrabProgress() {
    if (progressShot_ >= ProgressPictureAt) return;  // a picture of a moving gauge is kept
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<TProgressForm*>(window);
        if (progress == nullptr || !progress->isVisible()) continue;
        Grab(*progress, QStringLiteral("progress.png"));
        progressShot_ = progress->ProgressGauge->isVisible() ? progress->ProgressGauge->value() : -1;
    }
}

void TAutoTest::Grab(QWidget& window, const QString& name) const {
    window.grab().save(folder_.filePath(name));
}

void TAutoTest::Log(const QString& line) const {
    QFile file(folder_.filePath(QStringLiteral("messages.log")));
    if (!file.open(QIODevice::Append | QIODevice::Text)) return;
    QTextStream(&file) << line << '\n';
}

}  // namespace kx::gui
