#pragma once
// SIGTERM (and SIGHUP, the end of the session) turned into a Qt signal on the event loop:
// the handler only writes a byte to a pipe that a socket notifier watches, so the program
// ends through its ordinary close, with its settings saved and its lock released.
#include <QObject>

class QSocketNotifier;

namespace kx::gui {

class TerminationSignal final : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;
    TerminationSignal(const TerminationSignal&) = delete;
    TerminationSignal& operator=(const TerminationSignal&) = delete;

signals:
    void Received();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kx::gui
