// Two loads at once in one process, each on its own thread with its own link, its own
// user interface and its own simulated device: each interface hears only its own load,
// and each device's flash ends up holding exactly its own image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/BootSession.h"
#include "app/FirmwareImage.h"
#include "link/KX_RS232.h"
#include "tests/app/TempDir.h"
#include "tests/pty/SimProcess.h"
#include "tests/support/ScriptedUi.h"

namespace kx::test {
namespace {

constexpr std::size_t Page = app::FirmwareImage::PageSize;

// `pages` pages of a pattern that differs per seed, then an accepted trailer.
std::string PatternImage(std::size_t pages, std::uint8_t seed) {
    std::string bytes(pages * Page, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + seed * 31 + i / 251) & 0xFF);
    return bytes + std::string("\x2D\x70\x00", 3);
}

// What one thread saw of its own load.
struct Seen {
    std::thread::id thread;
    std::vector<std::thread::id> pumpThreads;
    std::vector<std::string> events;
    int windows = 0;
};

Seen LoadOnThisThread(const std::string& port, const std::string& image) {
    ScriptedUi ui;
    Seen seen{std::this_thread::get_id(), {}, {}, 0};
    ui.onProcessMessages = [&seen](long) { seen.pumpThreads.push_back(std::this_thread::get_id()); };
    link::TKX_RS link(nullptr, nullptr, link::SystemLinkContext(ui));
    link.SetLineMode(2);
    link.OpenPortNamed(port);
    link.SetBaudRate(19200);
    app::HeadBytes head{};
    app::RunBootSession(link, image, head);
    seen.events = ui.events;
    seen.windows = ui.progressWindowsCreated;
    return seen;
}

TEST(ConcurrentLoads, TwoLinksEachTalkOnlyToTheirOwnInterfaceAndDevice) {
    TempDir dir;
    ::setenv("KXBOOT_LOCK_DIR", dir.Path().c_str(), 1);
    const std::size_t pages[] = {4, 6};
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::string> images;
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string head = i == 0 ? "A1A2A3A4A5A6" : "B1B2B3B4B5B6";
        sims.push_back(std::make_unique<SimProcess>(
            std::vector<std::string>{"--flash", dir.File("flash" + std::to_string(i)), "--head", head}));
        ASSERT_FALSE(sims.back()->Port().empty());
        images.push_back(dir.File("image" + std::to_string(i) + ".rom"));
        WriteAll(images.back(), PatternImage(pages[i], static_cast<std::uint8_t>(i + 1)));
    }

    Seen seen[2];
    {
        std::jthread first([&] { seen[0] = LoadOnThisThread(sims[0]->Port(), images[0]); });
        std::jthread second([&] { seen[1] = LoadOnThisThread(sims[1]->Port(), images[1]); });
    }
    ::unsetenv("KXBOOT_LOCK_DIR");

    const std::string heads[] = {"\xA1\xA2\xA3\xA4\xA5\xA6", "\xB1\xB2\xB3\xB4\xB5\xB6"};
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].windows, 1);
        EXPECT_EQ(seen[i].events.back(), "progress:destroy");
        EXPECT_EQ(std::count(seen[i].events.begin(), seen[i].events.end(), "info:Загрузка окончена."), 1);
        EXPECT_EQ(std::count_if(seen[i].events.begin(), seen[i].events.end(),
                                [](const std::string& e) { return e.rfind("error:", 0) == 0; }),
                  0);
        // Every message pump this interface saw ran on its own load's thread.
        ASSERT_FALSE(seen[i].pumpThreads.empty());
        EXPECT_EQ(std::count(seen[i].pumpThreads.begin(), seen[i].pumpThreads.end(), seen[i].thread),
                  static_cast<long>(seen[i].pumpThreads.size()));
        // Pages 1..N-1, with this device's own head bytes in front.
        std::string expected = ReadAll(images[i]).substr(0, (pages[i] - 1) * Page);
        expected.replace(0, 6, heads[i]);
        EXPECT_EQ(ReadAll(dir.File("flash" + std::to_string(i))), expected);
    }
    EXPECT_NE(seen[0].thread, seen[1].thread);
}

}  // namespace
}  // namespace kx::test
