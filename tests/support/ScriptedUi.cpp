#include "tests/support/ScriptedUi.h"

#include <algorithm>

namespace kx::test {

ScriptedProgress::~ScriptedProgress() {
    owner_.events.push_back("progress:destroy");
    if (owner_.progress == this) owner_.progress = nullptr;
}

void ScriptedProgress::SetLabel(const std::string& text) { owner_.events.push_back("label:" + text); }
void ScriptedProgress::SetGaugeVisible(bool visible) {
    owner_.events.push_back(visible ? "gauge:shown" : "gauge:hidden");
}
void ScriptedProgress::SetProgress(int percent) {
    owner_.events.push_back("progress:" + std::to_string(std::clamp(percent, 0, 100)));
}
void ScriptedProgress::ShowCancelButton() { owner_.events.push_back("cancel-button"); }
void ScriptedProgress::PagesDone(int done, int total, std::size_t) {
    owner_.events.push_back("pages:" + std::to_string(done) + "/" + std::to_string(total));
}

void ScriptedUi::ShowError(const std::string& message) { events.push_back("error:" + message); }
void ScriptedUi::ShowInfo(const std::string& message) { events.push_back("info:" + message); }

bool ScriptedUi::AskYesNo(const std::string& message) {
    events.push_back("ask:" + message);
    if (yesNoAnswers.empty()) return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

void ScriptedUi::ProcessMessages() {
    ++processMessagesCalls;
    if (onProcessMessages) onProcessMessages(processMessagesCalls);
}

std::unique_ptr<ui::ProgressWindow> ScriptedUi::CreateProgress() {
    events.push_back("progress:create");
    ++progressWindowsCreated;
    auto window = std::make_unique<ScriptedProgress>(*this);
    progress = window.get();
    return window;
}

template <typename T>
static std::optional<T> Take(std::deque<std::optional<T>>& queue) {
    if (queue.empty()) return std::nullopt;
    auto answer = queue.front();
    queue.pop_front();
    return answer;
}

std::optional<std::string> ScriptedUi::ChoosePort(const std::vector<std::string>& entries, int selected) {
    events.push_back("port-dialog");
    lastPortEntries = entries;
    lastPortSelected = selected;
    return Take(portAnswers);
}

std::optional<double> ScriptedUi::ChooseBaudRate(std::uint32_t current) {
    events.push_back("baud-dialog");
    lastBaudShown = current;
    return Take(baudAnswers);
}

std::optional<std::string> ScriptedUi::EnterPassword(const std::string& prompt) {
    events.push_back("password:" + prompt);
    return Take(passwordAnswers);
}

std::optional<std::string> ScriptedUi::ChooseFile(const std::string& filter, const std::string& initialDir) {
    events.push_back("file-dialog");
    lastFileFilter = filter;
    lastFileDir = initialDir;
    return Take(fileAnswers);
}

static std::vector<std::string> WithPrefix(const std::vector<std::string>& events, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
    return out;
}

std::vector<std::string> ScriptedUi::Errors() const { return WithPrefix(events, "error:"); }
std::vector<std::string> ScriptedUi::Infos() const { return WithPrefix(events, "info:"); }
bool ScriptedUi::Has(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
}

}  // namespace kx::test
