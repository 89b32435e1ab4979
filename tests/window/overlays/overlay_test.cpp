// What every overlay shares: it covers the whole window and takes every click,
// a click beside the panel or Escape closes it, and the language chooser leads
// back to Settings instead.
#include <gdk/gdkkeysyms.h>

#include "overlay_fixture.h"

namespace {

using Act = App::Act;
using Overlay = App::Overlay;

const Overlay kOverlays[] = {Overlay::Dialog, Overlay::About, Overlay::Settings, Overlay::Language};

TEST_F(OverlayTest, TheScreensBelowAnOverlayCatchNoClick) {
    for (const Overlay o : kOverlays) {
        open(o);
        EXPECT_EQ(probe.target(Act::Rescan), nullptr) << static_cast<int>(o);
        EXPECT_EQ(probe.target(Act::About), nullptr) << static_cast<int>(o);
        // The first target is the scrim over the whole window.
        ASSERT_FALSE(probe.targets().empty());
        const App::HitTarget& scrim = probe.targets().front();
        EXPECT_EQ(scrim.act, Act::CloseOverlay);
        EXPECT_EQ(scrim.rect.w, 1100);
        EXPECT_EQ(scrim.rect.h, 720);
    }
}

TEST_F(OverlayTest, AClickBesideThePanelClosesItAndLanguageGoesBackToSettings) {
    const struct {
        Overlay open;
        Overlay after;
    } cases[] = {
        {Overlay::Dialog, Overlay::None},
        {Overlay::About, Overlay::None},
        {Overlay::Settings, Overlay::None},
        {Overlay::Language, Overlay::Settings},
    };
    for (const auto& c : cases) {
        open(c.open);
        probe.click(4, 4);  // on the toolbar's corner, under the scrim
        EXPECT_EQ(probe.overlay(), c.after) << static_cast<int>(c.open);
        EXPECT_FALSE(probe.scanning()) << "the click reached the toolbar below";
    }
}

TEST_F(OverlayTest, EscapeClosesItAndLanguageGoesBackToSettings) {
    for (const Overlay o : kOverlays) {
        open(o);
        probe.key(GDK_KEY_Escape);
        EXPECT_EQ(probe.overlay(), o == Overlay::Language ? Overlay::Settings : Overlay::None);
    }
    probe.key(GDK_KEY_Escape);
    EXPECT_EQ(probe.overlay(), Overlay::None);
}

TEST_F(OverlayTest, EachPanelsCloseButtonClosesIt) {
    for (const Overlay o : {Overlay::About, Overlay::Settings, Overlay::Language}) {
        open(o);
        const App::HitTarget* close = close_button();
        ASSERT_NE(close, nullptr) << static_cast<int>(o);
        probe.click_target(*close);
        EXPECT_EQ(probe.overlay(), o == Overlay::Language ? Overlay::Settings : Overlay::None);
    }
}

TEST_F(OverlayTest, TheToolbarButtonsOpenAboutAndSettings) {
    probe.draw(1100, 720);
    ASSERT_NE(probe.target(Act::About), nullptr);
    probe.click_target(*probe.target(Act::About));
    EXPECT_EQ(probe.overlay(), Overlay::About);
    probe.overlay() = Overlay::None;
    SettingsStore::instance().mutable_get().file_manager_command = "thunar %s";
    probe.draw(1100, 720);
    probe.click_target(*probe.target(Act::AppMenu));
    EXPECT_EQ(probe.overlay(), Overlay::Settings);
    EXPECT_EQ(probe.fm_text(), "thunar %s") << "the field must show the stored command";
    EXPECT_FALSE(probe.fm_editing());
}

}  // namespace
