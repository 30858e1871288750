#pragma once
// Named values in sections, as a device reads and writes its own settings. The settings
// file implements it; the link only sees this, so it never depends on how or where the
// values are kept.
#include <cstdint>
#include <string>

namespace kx::platform {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const = 0;
    virtual void WriteString(const std::string& section, const std::string& key, const std::string& value) = 0;
    virtual std::int32_t ReadInteger(const std::string& section, const std::string& key,
                                     std::int32_t defaultValue) const = 0;
    virtual void WriteInteger(const std::string& section, const std::string& key, std::int32_t value) = 0;
};

}  // namespace kx::platform
