#pragma once
// A user interface driven by a script: it records every box, caption and gauge value,
// and answers questions and dialogs from queues set up by the test.
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/UserInterface.h"

namespace kx::test {

class ScriptedUi;

class ScriptedProgress final : public ui::ProgressWindow {
public:
    explicit ScriptedProgress(ScriptedUi& owner) : owner_(owner) {}
    ~ScriptedProgress() override;

    void SetLabel(const std::string& text) override;
    void SetGaugeVisible(bool visible) override;
    void SetProgress(int percent) override;
    void ShowCancelButton() override;
    bool Cancelled() const override { return cancelled; }
    void PagesDone(int done, int total, std::size_t bytesPerPage) override;

    bool cancelled = false;

private:
    ScriptedUi& owner_;
};

class ScriptedUi final : public ui::UserInterface {
public:
    void ShowError(const std::string& message) override;
    void ShowInfo(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    void ProcessMessages() override;
    std::unique_ptr<ui::ProgressWindow> CreateProgress() override;
    std::optional<std::string> ChoosePort(const std::vector<std::string>& entries, int selected) override;
    std::optional<double> ChooseBaudRate(std::uint32_t current) override;
    std::optional<std::string> EnterPassword(const std::string& prompt) override;
    std::optional<std::string> ChooseFile(const std::string& filter, const std::string& initialDir) override;

    // What happened, in order: "error:<text>", "info:<text>", "ask:<text>",
    // "progress:create", "progress:destroy", "label:<text>", "gauge:shown", "gauge:hidden",
    // "progress:<n>", "cancel-button", "port-dialog", "baud-dialog", "password:<prompt>", "file-dialog".
    std::vector<std::string> events;
    std::vector<std::string> Errors() const;
    std::vector<std::string> Infos() const;
    bool Has(const std::string& event) const;

    // Answers, taken front first; when a queue is empty: No, Cancel.
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> portAnswers;
    std::deque<std::optional<double>> baudAnswers;
    std::deque<std::optional<std::string>> passwordAnswers;
    std::deque<std::optional<std::string>> fileAnswers;

    // The entries and selection the last port dialog was shown with; the last baud start.
    std::vector<std::string> lastPortEntries;
    int lastPortSelected = -2;
    std::uint32_t lastBaudShown = 0;
    std::string lastFileFilter;
    std::string lastFileDir;

    // Called at every ProcessMessages with the number of calls so far (1-based); the
    // test uses it to press cancel at a chosen moment, for instance.
    std::function<void(long)> onProcessMessages;
    long processMessagesCalls = 0;

    // The progress window now alive (nullptr when none).
    ScriptedProgress* progress = nullptr;
    int progressWindowsCreated = 0;
};

}  // namespace kx::test
