#pragma once
// The program's self-test hook for end-to-end runs without a person: with
// KXBOOT_AUTOTEST naming a folder, the program presses Load once it is shown, logs
// every message box's caption and text to <folder>/messages.log and answers it with its
// default button, saves pictures of the main and progress windows there, writes how the
// load ended (the presenter's outcome) to <folder>/outcome.txt, and closes.
// With KXBOOT_LOOPGAP set as well, it takes no pictures during the load but measures
// how long the event loop goes without running (a 2 ms timer records its longest gap)
// and writes that to <folder>/loop-gap.txt.
#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <memory>

class QTimer;

namespace kx::gui {

class TMainForm;

class TAutoTest final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* EnvironmentName = "KXBOOT_AUTOTEST";
    static constexpr const char* LoopGapName = "KXBOOT_LOOPGAP";

    // nullptr unless the environment asks for a self-test.
    static std::unique_ptr<TAutoTest> FromEnvironment(TMainForm& form);

    TAutoTest(const QString& folder, TMainForm& form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Run();
    void Log(const QString& line) const;
    void GrabProgress();
    void Grab(QWidget& window, const QString& name) const;
    void OnGapTick();
    void WriteLoopGap() const;
    void WriteOutcome() const;

    QDir folder_;
    TMainForm& form_;
    QTimer* progressTimer_;
    int messages_ = 0;
    int progressShot_ = -1;  // gauge value of the kept progress picture
    QTimer* gapTimer_ = nullptr;  // only when measuring the event loop
    QElapsedTimer sinceTick_;
    QElapsedTimer sinceStart_;
    qint64 longestGapNs_ = 0;
    qint64 longestGapEndNs_ = 0;  // since the press of Load
    long gapTicks_ = 0;
    long gapsOver15ms_ = 0;
};

}  // namespace kx::gui
