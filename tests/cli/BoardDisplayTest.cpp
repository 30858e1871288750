// Several ports' output: one line per port redrawn in place on a terminal, lines named
// by their port elsewhere.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/BoardDisplay.h"

namespace kx::test {
namespace {

std::string Written(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
}

struct TmpFile {
    std::FILE* file = std::tmpfile();
    ~TmpFile() { std::fclose(file); }
};

TEST(BoardDisplay, OnATerminalEveryPortKeepsItsLineAndAllAreRedrawnInPlace) {
    TmpFile out;
    cli::BoardDisplay display(out.file, {"/dev/ttyUSB0", "COM3"}, true);
    display.Slot(0).Live("Включите МК...");
    display.Slot(1).Live(" 50%");
    display.Note(1, "loaded 1, refused 0, failed 0");
    display.Slot(0).Error("RS232. Ошибка обмена.(0)");
    const std::string first = "\r/dev/ttyUSB0  Включите МК...\033[K\n\rCOM3          \033[K\n";
    const std::string up = "\033[2A";
    EXPECT_EQ(Written(out.file),
              first + up + "\r/dev/ttyUSB0  Включите МК...\033[K\n\rCOM3           50%\033[K\n" +
              up + "\r/dev/ttyUSB0  Включите МК...\033[K\n\rCOM3          [loaded 1, refused 0, failed 0]   50%\033[K\n" +
              up + "\r/dev/ttyUSB0  RS232. Ошибка обмена.(0)\033[K\n\rCOM3          [loaded 1, refused 0, failed 0]   50%\033[K\n");
}

TEST(BoardDisplay, ElsewhereEveryLineNamesItsPortAndInPlaceProgressIsLeftOut) {
    TmpFile out;
    cli::BoardDisplay display(out.file, {"/dev/ttyUSB0", "COM3"}, false);
    display.Slot(1).Line("Включите МК...");
    display.Slot(0).Live(" 50%");
    display.Slot(0).EndLive();
    display.Slot(0).Result("Загрузка окончена.");
    display.Note(1, "loaded 0, refused 1, failed 0");
    EXPECT_EQ(Written(out.file),
              "COM3: Включите МК...\n/dev/ttyUSB0: Загрузка окончена.\nCOM3: loaded 0, refused 1, failed 0\n");
}

}  // namespace
}  // namespace kx::test
