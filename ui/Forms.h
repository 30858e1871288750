#pragma once
// Every window and dialog of the program, described once and without a toolkit: caption,
// frame, font, client size, and each control's kind, place and size, text, look, tab
// order, the default button and the button that answers Esc. Places and sizes are pixels
// at 96 dots per inch (left, top, width, height in the client area). Both desktop
// programs build their windows from these descriptions and add only what their toolkit
// needs.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "ui/Texts.h"

namespace kx::ui::forms {

struct Bounds {
    int left, top, width, height;
};

enum class Kind {
    PushButton,
    OkButton,      // the standard OK kind: ends a dialog with the OK result
    CancelButton,  // the standard Cancel kind: ends a dialog with the Cancel result
    HelpButton,    // the standard Help kind: no help system comes with the program, so disabled
    Label,
    DropDownList,  // a combo box whose entries can only be chosen, not typed
    SpinEdit,      // an edit box for a whole number, with up and down arrows
    MaskEdit,      // the password field
    Gauge,         // a percentage bar with its value drawn as "42%" in the middle
};

enum class Align { Left, Centre };

// Colours as 0xRRGGBB.
inline constexpr std::uint32_t NoColour = 0xFFFFFFFF;

struct Control {
    std::string_view name;
    Kind kind;
    Bounds bounds;  // an edit box's or a list's height is that of its one line of text
    const char* text = "";
    Align align = Align::Left;
    bool wordWrap = false;
    bool regularFont = false;         // not bold, in a form whose font is
    std::uint32_t colour = NoColour;  // a label's background, a gauge's bar
    // A spin edit's and a gauge's range, the spin edit's step; a mask edit's most characters.
    int minimum = 0, maximum = 0, step = 0;
    int listRows = 0;  // a drop-down list: the entries its open list shows at once
};

enum class Frame {
    Main,      // fixed single border, system menu and minimise box, no maximise box
    Dialog,    // fixed dialog border with the system menu (and its close box) only
    Progress,  // caption only: no system menu, so no close box; above every other window
};

struct Form {
    std::string_view name;
    const char* caption;
    Frame frame;
    int clientWidth, clientHeight;
    bool boldFont;
    int helpContext;                           // 0: none
    std::span<const Control* const> controls;  // in declaration order
    std::span<const Control* const> tabOrder;
    const Control* initialFocus;
    const Control* defaultButton;  // Enter presses it when no button has the keyboard; nullptr: none
    const Control* escapeButton;   // Esc presses it (in a dialog, the close box too)
};

// Every form's font; a form says whether it is bold.
inline constexpr const char* FontFamily = "MS Sans Serif";
inline constexpr int FontPoints = 8;

// The size of the port and rate dialogs' standard buttons.
inline constexpr int DialogButtonWidth = 80, DialogButtonHeight = 27;
// The one-line edit box and the closed drop-down list.
inline constexpr int EditHeight = 21;

namespace main_window {
inline constexpr int Width = 361, Height = 251, WarningHeight = 75;
inline constexpr std::uint32_t Fuchsia = 0xFF00FF;
inline constexpr Control bRS232{"bRS232", Kind::PushButton, {24, 16, 321, 25}, texts::PortButton};
inline constexpr Control bOpen{"bOpen", Kind::PushButton, {24, 56, 321, 25}, texts::OpenButton};
inline constexpr Control bLoad{"bLoad", Kind::PushButton, {24, 136, 321, 25}, texts::LoadButton};
// The path of the chosen image; its design-time text is replaced when the window shows.
inline constexpr Control lFN{"lFN", Kind::Label, {24, 88, 321, 41}, "lFN", Align::Left, true};
// Docked to the bottom edge, full width.
inline constexpr Control Label1{.name = "Label1", .kind = Kind::Label,
                                .bounds = {0, Height - WarningHeight, Width, WarningHeight}, .text = texts::Warning,
                                .align = Align::Centre, .wordWrap = true, .colour = Fuchsia};
inline constexpr const Control* Controls[] = {&bRS232, &bOpen, &bLoad, &lFN, &Label1};
inline constexpr const Control* TabOrder[] = {&bRS232, &bOpen, &bLoad};
}  // namespace main_window

inline constexpr Form MainWindow{"TMainForm", texts::ResourceCaption, Frame::Main,
                                 main_window::Width, main_window::Height, false, 0,
                                 main_window::Controls, main_window::TabOrder, &main_window::bRS232,
                                 nullptr, nullptr};

namespace progress_window {
inline constexpr int Width = 261, Height = 113;
inline constexpr std::uint32_t Blue = 0x0000FF;
inline constexpr Control ProgressGauge{.name = "ProgressGauge", .kind = Kind::Gauge, .bounds = {21, 48, 220, 25},
                                       .align = Align::Centre, .colour = Blue, .minimum = 0, .maximum = 100};
// Docked to the top edge, full width.
inline constexpr Control ProgressLabel{"ProgressLabel", Kind::Label, {0, 0, Width, 41}, texts::ProgressStart,
                                       Align::Centre, true};
inline constexpr Control BitBtn1{"BitBtn1", Kind::CancelButton, {75, 80, 111, 25}, texts::CancelButton};
inline constexpr const Control* Controls[] = {&ProgressGauge, &ProgressLabel, &BitBtn1};
inline constexpr const Control* TabOrder[] = {&BitBtn1};
}  // namespace progress_window

inline constexpr Form ProgressWindow{"TProgressForm", texts::ProgressCaption, Frame::Progress,
                                     progress_window::Width, progress_window::Height, false, 0,
                                     progress_window::Controls, progress_window::TabOrder,
                                     &progress_window::BitBtn1, nullptr, &progress_window::BitBtn1};

namespace port_dialog {
inline constexpr int Width = 337, Height = 85, HelpContext = 10001;
inline constexpr Control Label1{"Label1", Kind::Label, {8, 8, 201, 13}, texts::PortDialogLabel, Align::Left, true};
inline constexpr Control PCB{
    .name = "PCB", .kind = Kind::DropDownList, .bounds = {224, 8, 105, EditHeight}, .listRows = 8};
inline constexpr Control OKBtn{"OKBtn", Kind::OkButton, {64, 48, DialogButtonWidth, DialogButtonHeight},
                               texts::OkButton};
inline constexpr Control CancelBtn{"CancelBtn", Kind::CancelButton, {156, 48, DialogButtonWidth, DialogButtonHeight},
                                   texts::CancelButton};
inline constexpr Control HelpBtn{"HelpBtn", Kind::HelpButton, {248, 48, DialogButtonWidth, DialogButtonHeight},
                                 texts::HelpButton};
inline constexpr const Control* Controls[] = {&Label1, &PCB, &OKBtn, &CancelBtn, &HelpBtn};
inline constexpr const Control* TabOrder[] = {&PCB, &OKBtn, &CancelBtn, &HelpBtn};
}  // namespace port_dialog

inline constexpr Form PortDialog{"TKX_RS232_SetNumDlg", texts::PortDialogCaption, Frame::Dialog,
                                 port_dialog::Width, port_dialog::Height, false, port_dialog::HelpContext,
                                 port_dialog::Controls, port_dialog::TabOrder, &port_dialog::PCB,
                                 &port_dialog::OKBtn, &port_dialog::CancelBtn};

namespace baud_dialog {
inline constexpr int Width = 301, Height = 89, HelpContext = 10305;
inline constexpr int MinRate = 110, MaxRate = 921600, RateStep = 10;
inline constexpr Control Label2{"Label2", Kind::Label, {8, 16, 153, 13}, texts::BaudDialogLabel};
inline constexpr Control OKBtn{"OKBtn", Kind::OkButton, {8, 48, DialogButtonWidth, DialogButtonHeight},
                               texts::OkButton};
inline constexpr Control CancelBtn{"CancelBtn", Kind::CancelButton, {108, 48, DialogButtonWidth, DialogButtonHeight},
                                   texts::CancelButton};
inline constexpr Control HelpBtn{"HelpBtn", Kind::HelpButton, {208, 48, DialogButtonWidth, DialogButtonHeight},
                                 texts::HelpButton};
// Starts at the lowest rate; a value outside the range is brought to the nearest bound,
// text that is not a number reads as the lowest rate.
inline constexpr Control BSE{.name = "BSE", .kind = Kind::SpinEdit, .bounds = {192, 12, 97, EditHeight},
                             .minimum = MinRate, .maximum = MaxRate, .step = RateStep};
inline constexpr const Control* Controls[] = {&Label2, &OKBtn, &CancelBtn, &HelpBtn, &BSE};
inline constexpr const Control* TabOrder[] = {&OKBtn, &CancelBtn, &HelpBtn, &BSE};
}  // namespace baud_dialog

// No control is named for the first focus, so the first in tab order has it.
inline constexpr Form BaudDialog{"TKX_RS232_SetBRDlg", texts::BaudDialogCaption, Frame::Dialog,
                                 baud_dialog::Width, baud_dialog::Height, false, baud_dialog::HelpContext,
                                 baud_dialog::Controls, baud_dialog::TabOrder, &baud_dialog::OKBtn,
                                 &baud_dialog::OKBtn, &baud_dialog::CancelBtn};

namespace password_dialog {
inline constexpr int Width = 233, Height = 139;
inline constexpr int MaxChars = 10;
inline constexpr char MaskChar = '$';  // every typed character is shown as this
// The characters the password field takes: Latin letters and digits.
constexpr bool Accepts(char32_t c) {
    return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9');
}
inline constexpr Control Label1{.name = "Label1", .kind = Kind::Label, .bounds = {8, 9, 217, 39},
                                .align = Align::Centre, .wordWrap = true, .regularFont = true};
inline constexpr Control MaskEdit1{.name = "MaskEdit1", .kind = Kind::MaskEdit, .bounds = {53, 64, 128, EditHeight},
                                   .regularFont = true, .maximum = MaxChars};
inline constexpr Control OKBtn{"OKBtn", Kind::OkButton, {18, 99, 77, DialogButtonHeight}, texts::OkButton};
inline constexpr Control CancelBtn{"CancelBtn", Kind::CancelButton, {130, 99, 77, DialogButtonHeight},
                                   texts::CancelButton};
inline constexpr const Control* Controls[] = {&Label1, &MaskEdit1, &OKBtn, &CancelBtn};
inline constexpr const Control* TabOrder[] = {&MaskEdit1, &OKBtn, &CancelBtn};
}  // namespace password_dialog

inline constexpr Form PasswordDialog{"TPasswDlg", texts::PasswordCaption, Frame::Dialog,
                                     password_dialog::Width, password_dialog::Height, true, 0,
                                     password_dialog::Controls, password_dialog::TabOrder,
                                     &password_dialog::MaskEdit1, &password_dialog::OKBtn,
                                     &password_dialog::CancelBtn};

// Every form, for what is checked of all of them alike.
inline constexpr const Form* AllForms[] = {&MainWindow, &ProgressWindow, &PortDialog, &BaudDialog, &PasswordDialog};

constexpr bool IsButton(Kind kind) {
    return kind == Kind::PushButton || kind == Kind::OkButton || kind == Kind::CancelButton ||
           kind == Kind::HelpButton;
}

// The button Enter presses while `focused` has the keyboard (nullptr: no control of the
// form has it). A focused button presses itself, as Space and a click do, so Enter on a
// dialog's Cancel cancels; anywhere else Enter presses the form's default button, and
// nothing in a form without one. nullptr: Enter presses nothing.
constexpr const Control* EnterButton(const Form& form, const Control* focused) {
    if (focused != nullptr && IsButton(focused->kind)) return focused;
    return form.defaultButton;
}

// The position of `control` among `form`'s controls in declaration order; -1 when it is
// not one of them.
constexpr int IndexOf(const Form& form, const Control& control) {
    for (std::size_t i = 0; i < form.controls.size(); ++i)
        if (form.controls[i] == &control) return static_cast<int>(i);
    return -1;
}

}  // namespace kx::ui::forms
