#pragma once
// The open-file dialog as a component of its form: its filter and initial folder are
// kept, the toolkit's dialog exists only while Execute runs (a dialog that is never
// opened leaves nothing behind, not even the toolkit's remembered dialog state).
#include <QString>
#include <string>

class QWidget;

namespace kx::gui {

class TOpenDialog {
public:
    explicit TOpenDialog(QWidget* owner) : owner_(owner) {}

    std::string Filter;   // "description|pattern|..."
    QString InitialDir;
    QString FileName;     // the chosen file's full path after a confirmed Execute

    // Runs the dialog modally: an existing file in an existing folder; false on cancel.
    bool Execute();

private:
    QWidget* owner_;
};

}  // namespace kx::gui
