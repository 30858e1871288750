#pragma once
// The root of the link classes: a settings section, settings load/save hooks and an
// optional hook into the host's menus, kept as a toolkit-free menu model.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kx::platform {
class SettingsStore;
}

namespace kx::link {

// A menu item as the device describes it; a GUI maps the tree to its own menus.
class TMenuItem {
public:
    using ClickHandler = std::function<void()>;

    std::string Caption;
    std::int32_t HelpContext = 0;
    std::string ShortCut;        // normalised shortcut text, empty for none
    ClickHandler OnClick;

    TMenuItem* Parent() const { return parent_; }
    const std::vector<std::unique_ptr<TMenuItem>>& Items() const { return items_; }
    // Appends a new child owned by this item and returns it.
    TMenuItem* Add();
    void Click() const;

private:
    TMenuItem* parent_ = nullptr;
    std::vector<std::unique_ptr<TMenuItem>> items_;
};

// The toolkit's conversion of shortcut text to a key: the normalised text, or the empty
// string when the text names no key (such as "(None)").
std::string TextToShortCut(const std::string& text);

class TKXBaseDevice {
public:
    TKXBaseDevice(TMenuItem* menuParent, TMenuItem* popupParent);
    virtual ~TKXBaseDevice() = default;
    TKXBaseDevice(const TKXBaseDevice&) = delete;
    TKXBaseDevice& operator=(const TKXBaseDevice&) = delete;

    std::string SettingsSection;
    TMenuItem* MenuParent = nullptr;
    bool ShowInMenu = false;
    TMenuItem* MenuItem = nullptr;
    TMenuItem* PopupParent = nullptr;
    bool ShowInPopup = false;
    TMenuItem* PopupItem = nullptr;
    std::string Caption;

    void BuildMenuItems();
    TMenuItem* AddCommand(const std::string& caption, const std::string& shortCutText,
                          std::int32_t helpContext, TMenuItem::ClickHandler onClick);

    virtual void LoadSettings(platform::SettingsStore& ini);
    virtual void SaveSettings(platform::SettingsStore& ini);
};

}  // namespace kx::link
