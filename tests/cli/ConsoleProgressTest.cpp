// The console progress window on a fake clock: what a terminal and a log receive, and
// the wait for the device that --wake-timeout cuts short.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/ConsoleProgress.h"
#include "cli/ConsoleUi.h"
#include "tests/support/FakeClock.h"

namespace kx::test {
namespace {

using platform::Millis;

class ConsoleProgressTest : public ::testing::Test {
protected:
    ~ConsoleProgressTest() override {
        if (file) std::fclose(file);
    }
    std::string Written() {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
        return text;
    }
    // The session's calls for a transfer of `total` pages, one per `perPage`.
    void Transfer(cli::ConsoleProgress& p, int total, int pageCount, Millis perPage) {
        p.SetLabel("Загрузка программы...");
        p.SetGaugeVisible(true);
        for (int done = 1; done <= total; ++done) {
            clock.Advance(perPage);
            p.SetProgress(done * 100 / pageCount);
            p.PagesDone(done, total, 3072);
        }
    }

    FakeClock clock;
    std::FILE* file = std::tmpfile();
};

TEST_F(ConsoleProgressTest, ALogGetsOneLinePerStageAndPerPage) {
    {
        cli::ConsoleProgress p(file, clock, {false, std::nullopt});
        p.SetLabel("Включите МК...");
        p.SetGaugeVisible(false);
        p.SetLabel("Определение типа микроконтроллера...");
        Transfer(p, 2, 3, Millis(1000));
    }
    EXPECT_EQ(Written(),
              "Включите МК...\n"
              "Определение типа микроконтроллера...\n"
              "Загрузка программы...\n"
              " 33%  стр. 1/2  3072 Б/с  осталось 0:01\n"
              " 66%  стр. 2/2  3072 Б/с  осталось 0:00\n");
}

TEST_F(ConsoleProgressTest, ATerminalGetsOneLineRedrawnInPlaceAndEndedOnce) {
    {
        cli::ConsoleProgress p(file, clock, {true, std::nullopt});
        p.SetLabel("Включите МК...");
        Transfer(p, 4, 5, Millis(500));
    }
    const std::string text = Written();
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
    EXPECT_NE(text.find("\rЗагрузка программы...   40%  стр. 2/4  6144 Б/с  осталось 0:01\033[K"), std::string::npos)
        << text;
    EXPECT_NE(text.rfind("\rЗагрузка программы...   80%  стр. 4/4  6144 Б/с  осталось 0:00\033[K\n"), std::string::npos)
        << text;
}

TEST_F(ConsoleProgressTest, PercentWithoutPageCountsStillGetsItsLine) {
    {
        cli::ConsoleProgress p(file, clock, {false, std::nullopt});
        p.SetLabel("Загрузка программы...");
        p.SetGaugeVisible(true);
        p.SetProgress(50);
        p.SetProgress(100);
    }
    EXPECT_EQ(Written(), "Загрузка программы...\n 50%\n100%\n");
}

TEST_F(ConsoleProgressTest, WakeTimeoutCancelsOnlyWhileWaitingForTheDevice) {
    cli::ConsoleProgress waiting(file, clock, {false, Millis(2000)});
    waiting.SetLabel("Включите МК...");
    clock.Advance(Millis(1999));
    EXPECT_FALSE(waiting.Cancelled());
    clock.Advance(Millis(1));
    EXPECT_TRUE(waiting.Cancelled());
    waiting.SetLabel("Определение типа микроконтроллера...");
    EXPECT_TRUE(waiting.Cancelled());   // never cleared once set

    cli::ConsoleProgress answered(file, clock, {false, Millis(2000)});
    answered.SetLabel("Включите ТОЛЬКО нужное устройство...");
    clock.Advance(Millis(500));
    answered.SetLabel("Определение типа микроконтроллера...");
    clock.Advance(Millis(60000));
    EXPECT_FALSE(answered.Cancelled());
}

// A 22-page image sends pages 1 to 21, so the session's gauge stops at 95 %: the console
// shows 100 % once the load has ended well, and only then. A console that shows escape
// sequences raw gets none; a shorter redraw is padded over the longer line before it.
struct EndCase {
    const char* name;
    bool terminal, escapes, loaded;
    const char* lastDraw;
};

class ConsoleEndTest : public ConsoleProgressTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ConsoleEndTest, TheGaugeEndsAtTheLoadsEnd) {
    const EndCase c = GetParam();
    std::FILE* out = std::tmpfile();
    cli::ConsoleUi ui({out, file, stdin, c.escapes}, clock, c.terminal);
    {
        auto p = ui.CreateProgress();
        p->SetLabel("Определение типа микроконтроллера...");
        p->SetLabel("Загрузка программы...");
        p->SetGaugeVisible(true);
        for (int page = 1; page <= 21; ++page) {
            clock.Advance(Millis(1000));
            p->SetProgress(page * 100 / 22);
            p->PagesDone(page, 21, 3072);
        }
        if (c.loaded)
            ui.ShowInfo("Загрузка окончена.");
        else
            ui.ShowError("RS232. Нет связи. Проверьте правильность соединения PC и устройства.");
    }
    std::fclose(out);
    const std::string text = Written();
    const std::string end = c.loaded ? "\n" : "\nRS232. Нет связи. Проверьте правильность соединения PC и устройства.\n";
    ASSERT_GT(text.size(), end.size()) << text;
    EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
    const std::string body = text.substr(0, text.size() - end.size());
    const std::size_t lastStart = c.terminal ? body.rfind('\r') : body.rfind('\n') + 1;
    EXPECT_EQ(body.substr(lastStart), c.lastDraw) << text;
    EXPECT_EQ(text.find('\033') != std::string::npos, c.terminal && c.escapes) << text;
    if (c.terminal && !c.escapes) {
        // 36 characters of the caption before, 21 of this one: 15 blanks over the rest.
        EXPECT_NE(text.find("\rЗагрузка программы..." + std::string(15, ' ') + "\r"), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ConsoleEndTest,
    ::testing::Values(
        EndCase{"TerminalLoaded", true, true, true, "\rЗагрузка программы...  100%  стр. 21/21  3072 Б/с  осталось 0:00\033[K"},
        EndCase{"RawConsoleLoaded", true, false, true, "\rЗагрузка программы...  100%  стр. 21/21  3072 Б/с  осталось 0:00"},
        EndCase{"LogLoaded", false, true, true, "100%  стр. 21/21  3072 Б/с  осталось 0:00"},
        EndCase{"TerminalFailed", true, true, false, "\rЗагрузка программы...   95%  стр. 21/21  3072 Б/с  осталось 0:00\033[K"},
        EndCase{"LogFailed", false, false, false, " 95%  стр. 21/21  3072 Б/с  осталось 0:00"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kx::test
