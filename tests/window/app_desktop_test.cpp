// The window's way to the file manager: which path each click hands over, and
// the dialog that says where an entry is when no file manager answers. The
// user's own command is a recording script, so the test waits on the program
// itself.
#include <gtest/gtest.h>

#include "app_probe.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "desktop_fakes.h"
#include "test_support.h"
#include "window/app.h"

namespace {

using testing_support::FakeHome;
using testing_support::Recorder;
using testing_support::ScopedEnv;

class AppDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        I18n::instance().set_language("en");
        m_saved_command = SettingsStore::instance().get().file_manager_command;
        SettingsStore::instance().mutable_get().file_manager_command = recorder.program() + " %s";
        std::lock_guard<std::mutex> lock(probe.mutex());
        CatState cs;
        cs.def.id = "cache";
        cs.def.title = "cache";
        cs.def.path = "/home/u/.cache/tool";
        for (const char* name : {"a b", "c"}) {
            Item it;
            it.path = cs.def.path + "/" + name;
            it.name = name;
            it.size = 100;
            it.size_known = true;
            cs.items.push_back(it);
        }
        cs.did_scan = true;
        probe.cats().push_back(cs);
        probe.manual().push_back(cs.items[1]);
    }
    void TearDown() override {
        SettingsStore::instance().mutable_get().file_manager_command = m_saved_command;
    }

    const App::HitTarget& target(App::Act act, int index = -1) {
        probe.draw(1100, 720);
        const App::HitTarget* t = probe.target(act, index);
        EXPECT_NE(t, nullptr);
        static App::HitTarget none;
        return t != nullptr ? *t : none;
    }

    Recorder recorder;
    FakeHome home;
    App app;
    AppProbe probe{app};
    std::string m_saved_command;
};

}  // namespace

TEST_F(AppDesktopTest, ARightClickOnAnEntryRevealsItAndLeavesItUnticked) {
    probe.selection() = "cache";
    probe.click_target(target(App::Act::ToggleItem, 0), true);
    EXPECT_EQ(recorder.next_run(), std::vector<std::string>{"/home/u/.cache/tool/a b"});
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_FALSE(probe.cats()[0].items[0].selected);
}

TEST_F(AppDesktopTest, OpenFolderRevealsTheCategorysFolder) {
    probe.selection() = "cache";
    probe.click_target(target(App::Act::RevealCategory));
    EXPECT_EQ(recorder.next_run(), std::vector<std::string>{"/home/u/.cache/tool"});
}

TEST_F(AppDesktopTest, AManualRowRevealsItsItem) {
    probe.selection() = App::SEL_MANUAL;
    probe.click_target(target(App::Act::OpenManualItem, 0));
    EXPECT_EQ(recorder.next_run(), std::vector<std::string>{"/home/u/.cache/tool/c"});
}

TEST_F(AppDesktopTest, WithoutAFileManagerADialogSaysWhereTheEntryIs) {
    SettingsStore::instance().mutable_get().file_manager_command = "brushwick-no-such-program %s";
    probe.selection() = App::SEL_MANUAL;
    probe.click_target(target(App::Act::OpenManualItem, 0));
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog);
    EXPECT_EQ(probe.dialog_title(), "Could not open the file manager");
    EXPECT_NE(probe.dialog_message().find("/home/u/.cache/tool/c"), std::string::npos);
}
