#include "gui/TAutoTest.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <chrono>
#include <cstdlib>

#include "gui/TMainForm.h"
#include "gui/TProgressForm.h"

namespace kx::gui {

using namespace std::chrono_literals;

namespace {
constexpr auto StartDelay = 300ms;      // the window is shown and laid out
constexpr auto AnswerDelay = 200ms;     // a message box stays up long enough to be seen
constexpr auto ProgressPeriod = 50ms;
constexpr int ProgressPictureAt = 40;   // keep a picture of the gauge about this far
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
    progressTimer_->start(ProgressPeriod);
    QTimer::singleShot(StartDelay, this, [this] { Run(); });
}

void TAutoTest::Run() {
    Grab(form_, QStringLiteral("main.png"));
    form_.bLoad->click();  // the whole session runs inside
    Grab(form_, QStringLiteral("main-after.png"));
    progressTimer_->stop();
    form_.close();
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
