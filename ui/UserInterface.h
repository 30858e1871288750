#pragma once
// Everything that talks to the user goes through this interface. The Qt program, the
// command line and the tests' scripted fake implement it; the core only calls it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx::ui {

// The progress window of a load procedure: a caption, a percentage gauge and a cancel
// button. Created shown, destroyed (closed) when the owner releases it.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;

    virtual void SetLabel(const std::string& text) = 0;       // ProgressLabel
    virtual void SetGaugeVisible(bool visible) = 0;           // ProgressGauge shown/hidden
    virtual void SetProgress(int percent) = 0;                // limited to 0..100
    virtual void ShowCancelButton() = 0;                      // BitBtn1 visible
    virtual bool Cancelled() const = 0;                       // set by the cancel button, never cleared

    // Extra detail for front ends that show throughput: `done` of `total` pages sent,
    // `bytesPerPage` each. The gauge itself is driven by SetProgress only.
    virtual void PagesDone(int /*done*/, int /*total*/, std::size_t /*bytesPerPage*/) {}
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Modal message boxes: "Error", "Information" and "Confirm" (Yes/No).
    virtual void ShowError(const std::string& message) = 0;
    virtual void ShowInfo(const std::string& message) = 0;
    virtual bool AskYesNo(const std::string& message) = 0;

    // Dispatches the pending window messages once, without waiting for new ones.
    virtual void ProcessMessages() = 0;

    // A new progress window, shown non-modally, with Cancelled false.
    virtual std::unique_ptr<ProgressWindow> CreateProgress() = 0;

    // The port-number dialog: `entries` in list order, `selected` the index of the entry
    // selected at start (-1 for none). On OK the selected entry's text ("" when none is
    // selected); nullopt on Cancel.
    virtual std::optional<std::string> ChoosePort(const std::vector<std::string>& entries,
                                                  int selected) = 0;
    // The baud-rate dialog, starting at `current`; the value on OK, nullopt on Cancel.
    virtual std::optional<double> ChooseBaudRate(std::uint32_t current) = 0;
    // The password dialog with `prompt`; the text typed on OK, nullopt on Cancel.
    virtual std::optional<std::string> EnterPassword(const std::string& prompt) = 0;
    // The open-file dialog: `filter` as "Description|pattern" pairs joined by "|",
    // starting in `initialDir`; the chosen existing file's full path, nullopt on Cancel.
    virtual std::optional<std::string> ChooseFile(const std::string& filter, const std::string& initialDir) = 0;
};

// An interface that shows nothing, declines every question and cancels every dialog and
// progress window, so nothing runs unattended by accident. Stateless; shared.
UserInterface& SilentUserInterface();

}  // namespace kx::ui
