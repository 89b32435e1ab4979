// The overlay tests' common ground: an App over an empty fake home, English,
// default settings, and the helpers that find a panel's controls.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app_probe.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "test_support.h"

class OverlayTest : public ::testing::Test {
protected:
    OverlayTest() {
        SettingsStore::instance().mutable_get() = Settings{};
        I18n::instance().set_language("en");
    }
    ~OverlayTest() override {
        SettingsStore::instance().mutable_get() = Settings{};
        I18n::instance().set_language("en");
    }

    // Opens an overlay as its toolbar button or caller would, and draws it.
    void open(App::Overlay overlay, int width = 1100, int height = 720) {
        if (overlay == App::Overlay::Settings)
            probe.open_settings();
        else
            probe.overlay() = overlay;
        probe.draw(width, height);
    }

    // Targets of one action in the last frame.
    int count(App::Act act) const {
        int n = 0;
        for (const App::HitTarget& t : probe.targets())
            n += t.act == act;
        return n;
    }

    // The "Close" button: the panel's own CloseOverlay target, not the scrim's.
    const App::HitTarget* close_button() const {
        const App::HitTarget* found = nullptr;
        for (const App::HitTarget& t : probe.targets()) {
            if (t.act == App::Act::CloseOverlay && t.rect.x > 0)
                found = &t;
        }
        return found;
    }

    testing_support::FakeHome home;  // settings are saved below it
    App app;
    AppProbe probe{app};
};
