#include "ui/SysUtils.h"

#include <clocale>
#include <filesystem>
#include <locale>

#include "platform/Process.h"

namespace kx::ui {

void InitEnvironment() {
    // Numbers are written and read with "." whatever the user's regional settings say.
    std::setlocale(LC_NUMERIC, "C");
    std::locale::global(std::locale(std::locale(), std::locale::classic(), std::locale::numeric));
    std::filesystem::current_path(platform::PathFromUtf8(platform::ExecutableDir()));
}

}  // namespace kx::ui
