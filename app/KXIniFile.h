#pragma once
// The settings file: an INI file with the semantics of the Windows profile functions
// (names matched without regard to case, every write straight to the file, other
// lines kept), plus a window's placement.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SettingsStore.h"

namespace kx::app {

// A window's placement as the settings file knows it; the GUI maps it to its window.
struct WindowPlacement {
    enum class Border { None, Single, Sizeable, Dialog, ToolWindow, SizeToolWin };
    static constexpr int Normal = 0, Minimized = 1, Maximized = 2;

    int State = Normal;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    Border BorderStyle = Border::Sizeable;
};

class TKXIniFile final : public platform::SettingsStore {
public:
    static constexpr std::size_t MaxValueLength = 2047;

    // The program's settings file (see DefaultPath), created when missing.
    TKXIniFile();
    // The named file, created when nothing is at the path (holding " \r\n"); anything
    // else there (a FIFO or a device too) is left alone.
    explicit TKXIniFile(std::string path);

    // $KXBOOT_SETTINGS when set and not empty; else the program's path with ".ini" where
    // that file can be written; else the same file name in the user's configuration
    // folder (%APPDATA%\kxboot, $XDG_CONFIG_HOME/kxboot or ~/.config/kxboot), made on
    // first use as a copy of the file beside the program when there is one.
    static std::string DefaultPath();
    // The same for a program file at `executablePath` (ignores $KXBOOT_SETTINGS).
    static std::string DefaultPathFor(const std::string& executablePath);

    const std::string& FileName() const { return path_; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const override;
    // Throws std::runtime_error("Unable to write to <path>") on failure, and when the
    // path holds a read-only file or anything but a regular file (which stays as it is).
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    std::int32_t ReadInteger(const std::string& section, const std::string& key,
                             std::int32_t defaultValue) const override;
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value) override;

    void ReadPlacement(const std::string& section, WindowPlacement& placement) const;
    void WritePlacement(const std::string& section, const WindowPlacement& placement);

private:
    std::string path_;
};

}  // namespace kx::app
