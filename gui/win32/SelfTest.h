#pragma once
// The program's self-test hook for runs without a person, as the Qt program has: with
// KXBOOT_AUTOTEST naming a folder, the program presses Load once it is shown, logs every
// message box's caption and text to <folder>/messages.log and answers it with OK, writes
// how the load ended (the presenter's outcome) to <folder>/outcome.txt, and closes. With
// KXBOOT_LOOPGAP set as well, it measures how long the event loop goes without running
// during the load (a tick posted every 2 ms records its longest gap) and writes that to
// <folder>/loop-gap.txt.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace kx::app {
class MainPresenter;
}

namespace kx::wgui {

class SelfTest {
public:
    static constexpr const char* EnvironmentName = "KXBOOT_AUTOTEST";
    static constexpr const char* LoopGapName = "KXBOOT_LOOPGAP";

    // nullptr unless the environment asks for a self-test.
    static std::unique_ptr<SelfTest> FromEnvironment(HWND mainWindow, int loadButton,
                                                     const app::MainPresenter& presenter);

    SelfTest(std::filesystem::path folder, HWND mainWindow, int loadButton, const app::MainPresenter& presenter,
             bool measureGaps);
    ~SelfTest();
    SelfTest(const SelfTest&) = delete;
    SelfTest& operator=(const SelfTest&) = delete;

private:
    using Clock = std::chrono::steady_clock;
    static LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam);
    void Run();
    void OnTick();
    void AnswerBox(HWND box);
    void Log(const std::wstring& line) const;
    void WriteLoopGap() const;
    void WriteOutcome() const;

    std::filesystem::path folder_;
    HWND main_;
    int loadButton_;
    const app::MainPresenter& presenter_;
    bool measureGaps_;
    HWND probe_ = nullptr;
    HHOOK hook_ = nullptr;
    std::atomic<bool> ticking_{false};
    std::thread ticker_;
    Clock::time_point lastTick_, start_;
    Clock::duration longestGap_{}, longestGapEnd_{};
    long ticks_ = 0, over15ms_ = 0;
};

}  // namespace kx::wgui
