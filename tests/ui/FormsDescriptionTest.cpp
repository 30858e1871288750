// The windows' descriptions, which both desktop programs build from: every control a form
// names for its tab order, first focus, Enter and Esc is one of its own; every control
// lies inside the client area and none covers another; the rate field can step from one
// bound to the other; the password field takes letters and digits only.
#include "ui/Forms.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kx::ui::forms {
namespace {

bool Overlap(const Bounds& a, const Bounds& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

TEST(FormsDescription, EveryFormNamesOnlyItsOwnControls) {
    for (const Form* form : AllForms) {
        SCOPED_TRACE(std::string(form->name));
        EXPECT_NE(std::string(form->caption), "");
        std::set<std::string_view> names;
        for (const Control* control : form->controls) EXPECT_TRUE(names.insert(control->name).second) << control->name;
        std::set<const Control*> stops;
        for (const Control* stop : form->tabOrder) {
            EXPECT_GE(IndexOf(*form, *stop), 0) << stop->name;
            EXPECT_TRUE(stops.insert(stop).second) << stop->name << " twice in the tab order";
            EXPECT_NE(stop->kind, Kind::Label) << stop->name;
        }
        ASSERT_NE(form->initialFocus, nullptr);
        EXPECT_TRUE(stops.count(form->initialFocus)) << "the first focus must be a tab stop";
        if (form->defaultButton != nullptr) {
            EXPECT_GE(IndexOf(*form, *form->defaultButton), 0);
            EXPECT_EQ(form->defaultButton->kind, Kind::OkButton);
        }
        if (form->escapeButton != nullptr) {
            EXPECT_GE(IndexOf(*form, *form->escapeButton), 0);
            EXPECT_EQ(form->escapeButton->kind, Kind::CancelButton);
        }
        // A dialog ends with OK on Enter and with Cancel on Esc.
        if (form->frame == Frame::Dialog) {
            EXPECT_NE(form->defaultButton, nullptr);
            EXPECT_NE(form->escapeButton, nullptr);
        }
    }
}

TEST(FormsDescription, ControlsLieInsideTheClientAreaAndNoneCoversAnother) {
    for (const Form* form : AllForms) {
        SCOPED_TRACE(std::string(form->name));
        for (std::size_t i = 0; i < form->controls.size(); ++i) {
            const Control& control = *form->controls[i];
            const Bounds& b = control.bounds;
            EXPECT_TRUE(b.left >= 0 && b.top >= 0 && b.width > 0 && b.height > 0) << control.name;
            EXPECT_LE(b.left + b.width, form->clientWidth) << control.name;
            EXPECT_LE(b.top + b.height, form->clientHeight) << control.name;
            for (std::size_t j = i + 1; j < form->controls.size(); ++j)
                EXPECT_FALSE(Overlap(b, form->controls[j]->bounds)) << control.name << " / " << form->controls[j]->name;
        }
    }
}

TEST(FormsDescription, TheRateFieldStepsFromOneBoundToTheOther) {
    const Control& rate = baud_dialog::BSE;
    EXPECT_EQ(rate.minimum, 110);
    EXPECT_EQ(rate.maximum, 921600);
    ASSERT_GT(rate.step, 0);
    EXPECT_EQ((rate.maximum - rate.minimum) % rate.step, 0);
    // The usual rates are all on the field's steps.
    for (int common : {9600, 19200, 38400, 57600, 115200})
        EXPECT_EQ((common - rate.minimum) % rate.step, 0) << common;
}

TEST(FormsDescription, ThePasswordFieldTakesLatinLettersAndDigitsOnly) {
    for (char32_t c : std::u32string(U"AZaz09QOX")) EXPECT_TRUE(password_dialog::Accepts(c)) << static_cast<int>(c);
    for (char32_t c : std::u32string(U" -_$@[`{/:йЖ\u00e9")) EXPECT_FALSE(password_dialog::Accepts(c)) << static_cast<int>(c);
    EXPECT_EQ(password_dialog::MaskEdit1.maximum, password_dialog::MaxChars);
}

}  // namespace
}  // namespace kx::ui::forms
