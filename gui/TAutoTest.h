#pragma once
// The program's self-test hook for end-to-end runs without a person: with
// KXBOOT_AUTOTEST naming a folder, the program presses Load once it is shown, logs
// every message box's caption and text to <folder>/messages.log and answers it with its
// default button, saves pictures of the main and progress windows there, and closes.
#include <QDir>
#include <QObject>
#include <memory>

class QTimer;

namespace kx::gui {

class TMainForm;

class TAutoTest final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* EnvironmentName = "KXBOOT_AUTOTEST";

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

    QDir folder_;
    TMainForm& form_;
    QTimer* progressTimer_;
    int messages_ = 0;
    int progressShot_ = -1;  // gauge value of the kept progress picture
};

}  // namespace kx::gui
