#include <gtest/gtest.h>

#include "link/KX_BD.h"

namespace kx::link {
namespace {

TEST(TextToShortCut, NormalisesKnownKeysAndDropsTextsNamingNone) {
    const std::pair<const char*, const char*> cases[] = {
        {"Ctrl+S", "Ctrl+S"},         {"ctrl+s", "Ctrl+S"},           {"Shift+Ctrl+F2", "Shift+Ctrl+F2"},
        {"Ctrl+Shift+F2", "Shift+Ctrl+F2"}, {"Alt+X", "Alt+X"},       {"F5", "F5"},
        {"f12", "F12"},               {"Del", "Del"},                 {"Delete", "Del"},
        {" Ctrl+Del ", "Ctrl+Del"},   {"Ctrl++", "Ctrl++"},           {"Alt+Ctrl+Shift+1", "Shift+Ctrl+Alt+1"},
        {"(None)", ""},               {"", ""},                       {"Ctrl+", ""},
        {"F0", ""},                   {"F25", ""},                    {"F05", ""},
        {"Hyper+X", ""},              {"Ctrl+Banana", ""},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(TextToShortCut(text), expected) << text;
}

struct Device : TKXBaseDevice {
    using TKXBaseDevice::TKXBaseDevice;
};

TEST(TKXBaseDevice, StartsEmptyAndMakesNothingWithoutParents) {
    Device d(nullptr, nullptr);
    EXPECT_TRUE(d.SettingsSection.empty());
    EXPECT_TRUE(d.Caption.empty());
    EXPECT_FALSE(d.ShowInMenu);
    EXPECT_FALSE(d.ShowInPopup);
    d.ShowInMenu = d.ShowInPopup = true;
    d.BuildMenuItems();
    EXPECT_EQ(d.MenuItem, nullptr);
    EXPECT_EQ(d.PopupItem, nullptr);
    EXPECT_EQ(d.AddCommand("x", "F5", 1, [] {}), nullptr);
}

TEST(TKXBaseDevice, ParentWithoutItsFlagGetsNoItem) {
    TMenuItem menu, popup;
    Device d(&menu, &popup);
    d.BuildMenuItems();
    EXPECT_TRUE(menu.Items().empty());
    EXPECT_TRUE(popup.Items().empty());
    EXPECT_EQ(d.AddCommand("x", "", 0, nullptr), nullptr);
}

TEST(TKXBaseDevice, CommandsGoUnderTheMenuItemOnly) {
    TMenuItem menu, popup;
    Device d(&menu, &popup);
    d.Caption = "RS232";
    d.ShowInMenu = d.ShowInPopup = true;
    d.BuildMenuItems();
    ASSERT_EQ(menu.Items().size(), 1u);
    ASSERT_EQ(popup.Items().size(), 1u);
    EXPECT_EQ(d.MenuItem, menu.Items()[0].get());
    EXPECT_EQ(d.PopupItem, popup.Items()[0].get());
    EXPECT_EQ(d.MenuItem->Caption, "RS232");
    EXPECT_EQ(d.PopupItem->Caption, "RS232");
    EXPECT_EQ(d.MenuItem->Parent(), &menu);

    int clicks = 0;
    TMenuItem* command = d.AddCommand("Port", "(None)", 10000, [&] { ++clicks; });
    TMenuItem* second = d.AddCommand("Other", "ctrl+p", 7, nullptr);
    ASSERT_NE(command, nullptr);
    ASSERT_EQ(d.MenuItem->Items().size(), 2u);
    EXPECT_EQ(d.MenuItem->Items()[0].get(), command);
    EXPECT_EQ(command->Parent(), d.MenuItem);
    EXPECT_EQ(command->Caption, "Port");
    EXPECT_EQ(command->HelpContext, 10000);
    EXPECT_EQ(command->ShortCut, "");
    EXPECT_EQ(second->ShortCut, "Ctrl+P");
    command->Click();
    second->Click();  // no handler: nothing happens
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(d.PopupItem->Items().empty());
}

}  // namespace
}  // namespace kx::link
