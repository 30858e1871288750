#include "link/KX_BD.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <utility>

namespace kx::link {

TMenuItem* TMenuItem::Add() {
    items_.push_back(std::make_unique<TMenuItem>());
    TMenuItem* child = items_.back().get();
    child->parent_ = this;
    return child;
}

void TMenuItem::Click() const {
    if (OnClick) OnClick();
}

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// Named keys, with the spellings people write and the one the toolkit shows.
struct NamedKey {
    std::string_view spelling;
    std::string_view canonical;
};

constexpr std::array<NamedKey, 26> NamedKeys{{
    {"bksp", "BkSp"},     {"backspace", "BkSp"}, {"tab", "Tab"},       {"esc", "Esc"},
    {"escape", "Esc"},    {"enter", "Enter"},    {"return", "Enter"},  {"space", "Space"},
    {"pgup", "PgUp"},     {"pageup", "PgUp"},    {"pgdn", "PgDn"},     {"pagedown", "PgDn"},
    {"end", "End"},       {"home", "Home"},      {"left", "Left"},     {"up", "Up"},
    {"right", "Right"},   {"down", "Down"},      {"ins", "Ins"},       {"insert", "Ins"},
    {"del", "Del"},       {"delete", "Del"},     {"plus", "+"},        {"minus", "-"},
    {"num +", "Num +"},   {"num -", "Num -"},
}};

// The canonical name of a single key, or "" when `key` names none.
std::string KeyName(std::string_view key) {
    key = Trim(key);
    if (key.size() == 1) {
        const unsigned char c = static_cast<unsigned char>(key.front());
        if (std::isalnum(c)) return std::string(1, static_cast<char>(std::toupper(c)));
        if (std::ispunct(c)) return std::string(1, static_cast<char>(c));
        return {};
    }
    const std::string lower = Lower(key);
    if (lower.size() >= 2 && lower.size() <= 3 && lower[0] == 'f' &&
        std::all_of(lower.begin() + 1, lower.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const int number = std::stoi(lower.substr(1));
        if (number >= 1 && number <= 24 && lower[1] != '0') return "F" + std::to_string(number);
        return {};
    }
    for (const NamedKey& named : NamedKeys)
        if (lower == named.spelling) return std::string(named.canonical);
    return {};
}

// Takes one modifier ("Shift+", "Ctrl+", "Alt+") off the front of `text`; which one it was.
enum Modifier { None = 0, Shift = 1, Ctrl = 2, Alt = 4 };

Modifier TakeModifier(std::string_view& text) {
    static constexpr std::array<std::pair<std::string_view, Modifier>, 4> prefixes{{
        {"shift+", Shift}, {"ctrl+", Ctrl}, {"control+", Ctrl}, {"alt+", Alt}}};
    const std::string lower = Lower(text.substr(0, 8));
    for (const auto& [prefix, modifier] : prefixes) {
        // "Ctrl++" is Ctrl with the plus key; the prefix must leave a key behind it.
        if (lower.rfind(prefix, 0) == 0 && text.size() > prefix.size()) {
            text.remove_prefix(prefix.size());
            return modifier;
        }
    }
    return None;
}

}  // namespace

std::string TextToShortCut(const std::string& text) {
    std::string_view rest = Trim(text);
    int modifiers = None;
    for (Modifier m = TakeModifier(rest); m != None; m = TakeModifier(rest)) modifiers |= m;
    const std::string key = KeyName(rest);
    if (key.empty()) return {};
    std::string out;
    if (modifiers & Shift) out += "Shift+";
    if (modifiers & Ctrl) out += "Ctrl+";
    if (modifiers & Alt) out += "Alt+";
    return out + key;
}

TKXBaseDevice::TKXBaseDevice(TMenuItem* menuParent, TMenuItem* popupParent)
    : MenuParent(menuParent), PopupParent(popupParent) {}

void TKXBaseDevice::BuildMenuItems() {
    if (MenuParent != nullptr && ShowInMenu) {
        MenuItem = MenuParent->Add();
        MenuItem->Caption = Caption;
    }
    if (PopupParent != nullptr && ShowInPopup) {
        PopupItem = PopupParent->Add();
        PopupItem->Caption = Caption;
    }
}

TMenuItem* TKXBaseDevice::AddCommand(const std::string& caption, const std::string& shortCutText,
                                     std::int32_t helpContext, TMenuItem::ClickHandler onClick) {
    if (MenuItem == nullptr) return nullptr;
    TMenuItem* item = MenuItem->Add();
    item->Caption = caption;
    item->HelpContext = helpContext;
    item->ShortCut = TextToShortCut(shortCutText);
    if (onClick) item->OnClick = std::move(onClick);
    return item;
}

void TKXBaseDevice::LoadSettings(platform::SettingsStore& /*ini*/) {}
void TKXBaseDevice::SaveSettings(platform::SettingsStore& /*ini*/) {}

}  // namespace kx::link
