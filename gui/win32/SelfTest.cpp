#include "gui/win32/SelfTest.h"

#include <fstream>

#include "app/MainPresenter.h"
#include "link/LoadOutcome.h"
#include "platform/Process.h"
#include "platform/win32/WinText.h"

namespace kx::wgui {

using namespace std::chrono_literals;

namespace {

constexpr UINT RunMessage = WM_APP + 1;
constexpr UINT TickMessage = WM_APP + 2;
constexpr UINT AnswerMessage = WM_APP + 3;  // wParam: a message box, read once it is filled in
constexpr auto StartDelay = 300ms;  // the window is shown and painted
constexpr auto TickPeriod = 2ms;
constexpr auto GapLimit = 15ms;

SelfTest* active = nullptr;  // the hook procedure's way back to its object

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

std::unique_ptr<SelfTest> SelfTest::FromEnvironment(HWND mainWindow, int loadButton,
                                                    const app::MainPresenter& presenter) {
    const std::string folder = platform::EnvironmentValue(EnvironmentName);
    if (folder.empty()) return nullptr;
    return std::make_unique<SelfTest>(platform::PathFromUtf8(folder), mainWindow, loadButton, presenter,
                                      !platform::EnvironmentValue(LoopGapName).empty());
}

SelfTest::SelfTest(std::filesystem::path folder, HWND mainWindow, int loadButton, const app::MainPresenter& presenter,
                   bool measureGaps)
    : folder_(std::move(folder)), main_(mainWindow), loadButton_(loadButton), presenter_(presenter),
      measureGaps_(measureGaps) {
    std::filesystem::create_directories(folder_);
    std::filesystem::remove(folder_ / "messages.log");
    active = this;
    probe_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(probe_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SelfTest::ProbeProc));
    hook_ = SetWindowsHookExW(WH_CBT, &SelfTest::BoxHook, nullptr, GetCurrentThreadId());
    SetTimer(probe_, 1, static_cast<UINT>(StartDelay.count()), nullptr);
}

SelfTest::~SelfTest() {
    ticking_ = false;
    if (ticker_.joinable()) ticker_.join();
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    DestroyWindow(probe_);
    active = nullptr;
}

LRESULT CALLBACK SelfTest::ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (active != nullptr && message == WM_TIMER) {
        KillTimer(hwnd, 1);
        PostMessageW(hwnd, RunMessage, 0, 0);
        return 0;
    }
    if (active != nullptr && message == RunMessage) {
        active->Run();
        return 0;
    }
    if (active != nullptr && message == AnswerMessage) {
        active->AnswerBox(reinterpret_cast<HWND>(wParam));
        return 0;
    }
    if (active != nullptr && message == TickMessage) {
        active->OnTick();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void SelfTest::Run() {
    if (measureGaps_) {
        start_ = lastTick_ = Clock::now();
        ticking_ = true;
        ticker_ = std::thread([this, probe = probe_] {
            while (ticking_) {
                PostMessageW(probe, TickMessage, 0, 0);
                std::this_thread::sleep_for(TickPeriod);
            }
        });
    }
    // The whole load runs inside this call, letting messages run as it goes.
    SendMessageW(main_, WM_COMMAND, MAKEWPARAM(loadButton_, BN_CLICKED), 0);
    if (measureGaps_) {
        ticking_ = false;
        ticker_.join();
        OnTick();
        WriteLoopGap();
    }
    WriteOutcome();
    PostMessageW(main_, WM_CLOSE, 0, 0);
}

void SelfTest::OnTick() {
    if (!measureGaps_ || start_ == Clock::time_point{}) return;
    const auto now = Clock::now();
    const auto gap = now - lastTick_;
    lastTick_ = now;
    ++ticks_;
    if (gap > GapLimit) ++over15ms_;
    if (gap > longestGap_) {
        longestGap_ = gap;
        longestGapEnd_ = now - start_;
    }
}

void SelfTest::WriteLoopGap() const {
    std::ofstream file(folder_ / "loop-gap.txt", std::ios::trunc);
    const double longestMs = std::chrono::duration<double, std::milli>(longestGap_).count();
    file.setf(std::ios::fixed);
    file.precision(3);
    file << "longest_gap_ms=" << longestMs
         << " at_ms=" << std::chrono::duration_cast<std::chrono::milliseconds>(longestGapEnd_).count()
         << " over_15ms=" << over15ms_ << " ticks=" << ticks_ << '\n';
}

void SelfTest::WriteOutcome() const {
    std::ofstream file(folder_ / "outcome.txt", std::ios::trunc);
    file << link::OutcomeLine(presenter_.LastOutcome()) << '\n';
}

LRESULT CALLBACK SelfTest::BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && active != nullptr) {
        auto* window = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        GetClassNameW(window, cls, 16);
        if (std::wstring(cls) == L"#32770") PostMessageW(active->probe_, AnswerMessage, reinterpret_cast<WPARAM>(window), 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

namespace {

// The message of a system message box: the text of its one static control that has any
// (the other holds the icon).
BOOL CALLBACK FindMessage(HWND child, LPARAM param) {
    wchar_t cls[16] = {};
    GetClassNameW(child, cls, 16);
    if (_wcsicmp(cls, L"Static") != 0) return TRUE;
    std::wstring text = TextOf(child);
    if (text.empty()) return TRUE;
    *reinterpret_cast<std::wstring*>(param) = std::move(text);
    return FALSE;
}

}  // namespace

void SelfTest::AnswerBox(HWND box) {
    std::wstring message;
    EnumChildWindows(box, FindMessage, reinterpret_cast<LPARAM>(&message));
    for (std::size_t at = message.find(L'\n'); at != std::wstring::npos; at = message.find(L'\n', at + 2))
        message.replace(at, 1, L"\\n");
    Log(TextOf(box) + L'\t' + message);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

void SelfTest::Log(const std::wstring& line) const {
    std::ofstream file(folder_ / "messages.log", std::ios::app | std::ios::binary);
    file << platform::win32::WideToUtf8(line) << '\n';
}

}  // namespace kx::wgui
