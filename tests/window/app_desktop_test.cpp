// The window's way to the desktop: which path each click hands over to the
// file manager, the dialogs that explain when none answers, the About links,
// the detected file manager, and the projects folder chooser. The
// user's own command is a recording script, so the test waits on the program
// itself.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "app_probe.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "desktop_fakes.h"
#include "session_services.h"
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

TEST_F(AppDesktopTest, ARightClickOnAKeptEntryStillRevealsItThoughItsCardTakesNoTick) {
    probe.selection() = "cache";
    probe.set_kept({"/home/u/.cache/tool/a b"});
    probe.draw(1100, 720);
    const App::HitTarget* card = nullptr;
    for (const App::HitTarget& t : probe.targets()) {
        if (t.act == App::Act::ToggleItem && t.index == 0)
            card = &t;
    }
    ASSERT_NE(card, nullptr);
    ASSERT_FALSE(card->enabled);
    const double x = card->rect.x + 40, y = card->rect.y + card->rect.h / 2;
    probe.click(x, y);
    probe.click(x, y, true);
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

TEST_F(AppDesktopTest, ARightClickOnASidebarCategoryRevealsItsFolderAndKeepsTheView) {
    probe.click_target(target(App::Act::SelectCategory, 0), true);
    EXPECT_EQ(recorder.next_run(), std::vector<std::string>{"/home/u/.cache/tool"});
    EXPECT_EQ(probe.selection(), "") << "the overview stays in view";
    probe.click_target(target(App::Act::SelectCategory, 0));
    EXPECT_EQ(probe.selection(), "cache");
}

TEST_F(AppDesktopTest, TestingTheFileManagerOpensTheHomeOrSaysItCouldNot) {
    probe.open_settings();
    probe.click_target(target(App::Act::TestFileManager));
    EXPECT_EQ(recorder.next_run(), std::vector<std::string>{home.path()});
    EXPECT_EQ(probe.overlay(), App::Overlay::Settings) << "a working command leaves the panel open";

    // A command being edited is committed first, so the test tries what was typed.
    probe.click_target(target(App::Act::EditFileManager));
    probe.fm_text() = "brushwick-no-such-program %s";
    probe.click_target(target(App::Act::TestFileManager));
    EXPECT_EQ(SettingsStore::instance().get().file_manager_command, "brushwick-no-such-program %s");
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog);
    EXPECT_EQ(probe.dialog_title(), "File manager");
    EXPECT_EQ(probe.dialog_message(),
              "The file manager could not be started. Check the command, or empty the field to "
              "use the system default.");
}

// --- The desktop's own handlers, in a child with private XDG folders ---

namespace {

using testing_support::answer_chooser;
using testing_support::FakeDesktop;
using testing_support::run_test_in_child;
using testing_support::TempDir;

void expect_child_passes(const std::string& name,
                         std::map<std::string, std::optional<std::string>> env) {
    const auto r = run_test_in_child("AppDesktopChild.DISABLED_" + name, env);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << "did not run: " << r.out;
}

// No session bus at all: the desktop's default handlers answer.
std::map<std::string, std::optional<std::string>> no_bus(const TempDir& runtime) {
    return {{"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
            {"XDG_RUNTIME_DIR", runtime.path()},
            {"DISPLAY", std::nullopt},
            {"WAYLAND_DISPLAY", std::nullopt}};
}

}  // namespace

TEST(AppDesktopChild, DISABLED_AboutLinksAndTheDetectedFileManagerUseTheDesktopsHandlers) {
    I18n::instance().set_language("en");
    Recorder recorder;
    FakeDesktop desktop(&recorder);
    App app;
    AppProbe probe{app};
    probe.open_settings();
    EXPECT_EQ(probe.fm_detected(), "Fake Folders");
    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("Fake Folders (system default)"), nullptr);

    probe.overlay() = App::Overlay::About;
    probe.draw(1100, 720);
    const App::HitTarget* site = probe.target(App::Act::LinkWebsite);
    const App::HitTarget* mail = probe.target(App::Act::LinkContact);
    ASSERT_NE(site, nullptr);
    ASSERT_NE(mail, nullptr);
    const App::HitTarget mail_target = *mail;
    probe.click_target(*site);
    EXPECT_EQ(recorder.next_run(),
              std::vector<std::string>{"https://github.com/brushwick/brushwick"});
    probe.click_target(mail_target);
    EXPECT_EQ(recorder.next_run(), std::vector<std::string>{"mailto:support@brushwick.dev"});
    EXPECT_EQ(probe.overlay(), App::Overlay::About) << "a link leaves the panel open";
}

TEST(AppDesktopChild, DISABLED_WithoutAnyFileManagerSettingsSaysNoneFound) {
    I18n::instance().set_language("en");
    FakeDesktop desktop(nullptr);
    App app;
    AppProbe probe{app};
    probe.open_settings();
    EXPECT_EQ(probe.fm_detected(), "");
    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("None found"), nullptr);
}

TEST(AppDesktopChild, DISABLED_AChosenProjectsFolderIsStoredAndScanned) {
    I18n::instance().set_language("en");
    FakeHome home;
    testing_support::VirtualDisplay display;
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    const std::string projects = home / "work";
    testing_support::make_dirs(home.path(), "work/site/node_modules/left-pad/");
    testing_support::write_file(home / "work/site/package.json", 2);
    testing_support::write_file(home / "work/site/node_modules/left-pad/index.js", 5000);
    App app;
    AppProbe probe{app};

    // Cancelling the chooser changes nothing.
    probe.open_settings();
    probe.draw(1100, 720);
    answer_chooser(GTK_RESPONSE_CANCEL, "");
    probe.click_target(*probe.target(App::Act::ChooseProjects));
    EXPECT_EQ(SettingsStore::instance().get().projects_root, "");
    EXPECT_FALSE(probe.scanning());

    probe.draw(1100, 720);
    answer_chooser(GTK_RESPONSE_ACCEPT, projects);
    probe.click_target(*probe.target(App::Act::ChooseProjects));
    EXPECT_EQ(SettingsStore::instance().get().projects_root, projects);
    EXPECT_NE(testing_support::read_file(home / ".config/Brushwick/settings.json").find(projects),
              std::string::npos)
        << "the choice must survive a restart";
    ASSERT_TRUE(probe.scanning()) << "a new projects folder is scanned at once";
    ASSERT_TRUE(probe.wait_for_worker());
    std::lock_guard<std::mutex> lock(probe.mutex());
    bool found = false;
    for (const CatState& cat : probe.cats()) {
        for (const Item& it : cat.items)
            found = found || it.path == projects + "/site/node_modules";
    }
    EXPECT_TRUE(found) << "the project below the chosen folder is listed";
}

TEST(AppDesktopHandlers, AboutLinksAndDetectionGoToTheDesktopsDefaultApplication) {
    TempDir runtime;
    expect_child_passes("AboutLinksAndTheDetectedFileManagerUseTheDesktopsHandlers",
                        no_bus(runtime));
    expect_child_passes("WithoutAnyFileManagerSettingsSaysNoneFound", no_bus(runtime));
}

TEST(AppDesktopHandlers, ChoosingAProjectsFolderStoresItAndRescans) {
    TempDir runtime;
    // An address that leads nowhere: with a display and no address GLib would
    // start a bus of its own, which ends the child when it goes away.
    auto env = no_bus(runtime);
    env.erase("DISPLAY");
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (runtime / "no-bus");
    env.emplace("NO_AT_BRIDGE", "1");
    expect_child_passes("AChosenProjectsFolderIsStoredAndScanned", env);
}
