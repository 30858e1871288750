#include "ui/PassW.h"

#include <gtest/gtest.h>

#include "tests/support/ScriptedUi.h"

namespace kx::ui {
namespace {

const std::string Prompt = "password:Данная команда будет выполняться только после ввода пароля!";
const std::string Refused = "Неверный пароль!";

class Gate : public ::testing::Test {
protected:
    void SetUp() override { AccessGranted = false; }
    void TearDown() override { AccessGranted = false; }

    test::ScriptedUi ui;
};

TEST_F(Gate, OneCorrectEntryOpensTheGateForTheRestOfTheRun) {
    ui.passwordAnswers = {std::string("QOX")};
    EXPECT_TRUE(CheckAccess(ui));
    EXPECT_TRUE(AccessGranted);
    EXPECT_TRUE(CheckAccess(ui));
    EXPECT_TRUE(CheckAccess(ui));
    EXPECT_EQ(ui.events, std::vector<std::string>{Prompt});
}

TEST_F(Gate, AGrantedRunNeverAsks) {
    AccessGranted = true;
    EXPECT_TRUE(CheckAccess(ui));
    EXPECT_TRUE(ui.events.empty());
}

// Each refusal shows the box and leaves the gate closed, so the next command asks again.
TEST_F(Gate, EveryEntryButTheExactPasswordIsRefused) {
    const std::optional<std::string> entries[] = {std::nullopt, std::string(), std::string("qox"),
                                                  std::string("Qox"), std::string("QOX "),
                                                  std::string("QO"), std::string("QOXQ")};
    for (const auto& entry : entries) {
        ui.events.clear();
        ui.passwordAnswers = {entry};
        EXPECT_FALSE(CheckAccess(ui)) << entry.value_or("<cancel>");
        EXPECT_FALSE(AccessGranted);
        EXPECT_EQ(ui.events, (std::vector<std::string>{Prompt, "error:" + Refused}))
            << entry.value_or("<cancel>");
    }
    ui.passwordAnswers = {std::string("QOX")};
    EXPECT_TRUE(CheckAccess(ui));
}

TEST_F(Gate, AskPasswordShowsTheCallersPromptAndComparesExactly) {
    ui.passwordAnswers = {std::string("abc"), std::string("ABC"), std::nullopt};
    EXPECT_TRUE(AskPassword(ui, "Prompt?", "abc"));
    EXPECT_FALSE(AskPassword(ui, "Prompt?", "abc"));
    EXPECT_TRUE(AskPassword(ui, "Empty", ""));  // a cancelled dialog is an empty entry
    EXPECT_EQ(ui.events, (std::vector<std::string>{"password:Prompt?", "password:Prompt?", "password:Empty"}));
    EXPECT_FALSE(AccessGranted);
}

}  // namespace
}  // namespace kx::ui
