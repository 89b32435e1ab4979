// The desktop's light/dark preference: reading the portal's answers of every
// shape, GTK's settings as the fallback, behaviour without any session bus,
// and the change subscription against a fake portal on a private bus.
//
// GLib shares one session connection per process and the subscription lasts
// for the process's life, so everything that touches a bus runs in a child
// process (the DISABLED_ tests below, started by the tests after them).
#include "desktop/desktop_theme.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "desktop_fakes.h"
#include "session_services.h"
#include "test_support.h"

namespace {

using desktop_theme::detail::Scheme;
using testing_support::PrivateSessionBus;
using testing_support::run_test_in_child;
using testing_support::TempDir;
using testing_support::VirtualDisplay;

// A critical from GLib means a call was misused (a wrong variant format, a
// null object): fail loudly instead of reading garbage.
const bool kCriticalsAreFatal = [] {
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL));
    return true;
}();

// Owns one reference to a variant built by the test.
class Variant {
public:
    explicit Variant(GVariant* v) : m_v(v != nullptr ? g_variant_ref_sink(v) : nullptr) {}
    ~Variant() {
        if (m_v != nullptr)
            g_variant_unref(m_v);
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    GVariant* get() const { return m_v; }

private:
    GVariant* m_v;
};

GVariant* u32(guint32 v) {
    return g_variant_new_uint32(v);
}
GVariant* boxed(GVariant* v) {
    return g_variant_new_variant(v);
}
// The reply of Settings.Read: a tuple holding one variant around value.
GVariant* read_reply(GVariant* value) {
    return g_variant_new("(v)", value);
}

// --- Pure steps ---

TEST(PortalReply, ColourSchemeIsReadThroughAnyNumberOfVariantWrappers) {
    const struct {
        GVariant* reply;
        Scheme want;
        const char* what;
    } cases[] = {
        {read_reply(boxed(u32(1))), Scheme::Dark, "1, wrapped twice as the portal does"},
        {read_reply(boxed(u32(2))), Scheme::Light, "2, wrapped twice"},
        {read_reply(u32(1)), Scheme::Dark, "1, wrapped once"},
        {read_reply(boxed(boxed(boxed(u32(2))))), Scheme::Light, "2, wrapped four times"},
        {read_reply(boxed(u32(0))), Scheme::NoPreference, "0: no preference"},
        {read_reply(boxed(u32(3))), Scheme::NoPreference, "an unknown number"},
        {read_reply(boxed(u32(0xFFFFFFFF))), Scheme::NoPreference, "the largest number"},
    };
    for (const auto& c : cases) {
        const Variant reply(c.reply);
        EXPECT_EQ(desktop_theme::detail::scheme_from_read_reply(reply.get()), c.want) << c.what;
    }
}

TEST(PortalReply, UnexpectedShapesMeanNoPreference) {
    GVariant* empty_children[] = {nullptr};
    const struct {
        GVariant* reply;
        const char* what;
    } cases[] = {
        {read_reply(boxed(g_variant_new_int32(1))), "a signed 1"},
        {read_reply(boxed(g_variant_new_string("dark"))), "a string"},
        {read_reply(boxed(g_variant_new_boolean(TRUE))), "a boolean"},
        {read_reply(boxed(g_variant_new_uint64(1))), "a 64-bit 1"},
        {read_reply(boxed(g_variant_new("(u)", 1u))), "a tuple around 1"},
        {g_variant_new("(uu)", 1u, 1u), "two numbers"},
        {g_variant_new_tuple(empty_children, 0), "an empty tuple"},
        {u32(1), "a bare number, not a reply"},
        {boxed(u32(1)), "a bare variant, not a reply"},
    };
    for (const auto& c : cases) {
        const Variant reply(c.reply);
        EXPECT_EQ(desktop_theme::detail::scheme_from_read_reply(reply.get()), Scheme::NoPreference)
            << c.what;
    }
    EXPECT_EQ(desktop_theme::detail::scheme_from_read_reply(nullptr), Scheme::NoPreference);
}

TEST(GtkFallback, PreferDarkFlagOrADarkThemeNameMeansDark) {
    const struct {
        bool prefer;
        const char* theme;
        bool want;
    } cases[] = {
        {true, "Adwaita", true},    {true, nullptr, true},          {false, "Adwaita-dark", true},
        {false, "Yaru-DARK", true}, {false, "Dark", true},          {false, "Pop-dark-slim", true},
        {false, "Adwaita", false},  {false, "HighContrast", false}, {false, "Darcula", false},
        {false, "", false},         {false, nullptr, false},        {false, "Dar k", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(desktop_theme::detail::gtk_prefers_dark(c.prefer, c.theme), c.want)
            << "prefer=" << c.prefer << " theme=" << (c.theme ? c.theme : "(none)");
    }
}

GVariant* setting(const char* ns, const char* key, GVariant* value) {
    return g_variant_new("(ssv)", ns, key, value);
}

TEST(SettingChanged, OnlyTheAppearanceColourSchemeCounts) {
    const struct {
        GVariant* parameters;
        bool want;
        const char* what;
    } cases[] = {
        {setting("org.freedesktop.appearance", "color-scheme", u32(1)), true, "the scheme"},
        {setting("org.freedesktop.appearance", "color-scheme", g_variant_new_string("x")), true,
         "the scheme with a value of another type (the value is not looked at)"},
        {setting("org.freedesktop.appearance", "accent-color", u32(1)), false, "accent colour"},
        {setting("org.freedesktop.appearance", "contrast", u32(1)), false, "contrast"},
        {setting("org.gnome.desktop.interface", "color-scheme", u32(1)), false, "GNOME's key"},
        {setting("org.freedesktop.appearanceX", "color-scheme", u32(1)), false, "longer name"},
        {setting("org.freedesktop.appearance", "color-scheme-x", u32(1)), false, "longer key"},
        {setting("", "", u32(1)), false, "empty names"},
        {g_variant_new("(ss)", "org.freedesktop.appearance", "color-scheme"), false, "no value"},
        {g_variant_new("(ssu)", "org.freedesktop.appearance", "color-scheme", 1u), false,
         "an unwrapped value"},
        {g_variant_new("(sssv)", "a", "org.freedesktop.appearance", "color-scheme", u32(1)), false,
         "an extra field"},
        {u32(1), false, "not a tuple"},
    };
    for (const auto& c : cases) {
        const Variant p(c.parameters);
        EXPECT_EQ(desktop_theme::detail::is_color_scheme_change(p.get()), c.want) << c.what;
    }
    EXPECT_FALSE(desktop_theme::detail::is_color_scheme_change(nullptr));
}

// --- A fake portal on a private bus ---

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettings = "org.freedesktop.portal.Settings";

constexpr const char* kSettingsXml =
    "<node><interface name='org.freedesktop.portal.Settings'>"
    "<method name='Read'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "<arg type='v' direction='out'/></method>"
    "<signal name='SettingChanged'><arg type='s'/><arg type='s'/><arg type='v'/></signal>"
    "</interface></node>";

// Round trip to the bus daemon: when it returns, everything this connection
// sent before has been routed, and everything the bus sent to it before has
// been received.
void ping(GDBusConnection* c) {
    GVariant* r = g_dbus_connection_call_sync(c, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus", "GetId", nullptr, nullptr,
                                              G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    ASSERT_NE(r, nullptr);
    g_variant_unref(r);
}

GDBusConnection* connect_to(const std::string& address) {
    return g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
}

// Serves org.freedesktop.portal.Settings under the portal's well-known name,
// on a connection and a main loop of its own thread (a synchronous call from
// the main thread must be answered while that thread waits). Read answers only
// the appearance colour scheme, as the real portal answers only keys it has.
class FakePortal {
public:
    enum class Mode { Answer, NotFound, Silent };

    explicit FakePortal(const std::string& address) {
        std::promise<bool> ready;
        m_thread = std::thread([this, address, &ready] { run(address, ready); });
        if (!ready.get_future().get()) {
            m_thread.join();
            throw std::runtime_error("the fake portal could not start");
        }
    }

    ~FakePortal() {
        testing_support::quit_loop_from_inside(m_loop, m_context);
        m_thread.join();
        std::lock_guard lock(m_mutex);
        // Calls left waiting get an answer now, so no reference is lost.
        for (GDBusMethodInvocation* inv : m_held) {
            g_dbus_method_invocation_return_dbus_error(inv, "org.freedesktop.DBus.Error.Failed",
                                                       "portal gone");
        }
        if (m_value != nullptr)
            g_variant_unref(m_value);
        g_dbus_connection_unregister_object(m_conn, m_registration);
        g_dbus_connection_close_sync(m_conn, nullptr, nullptr);
        g_object_unref(m_conn);
        g_main_loop_unref(m_loop);
        g_main_context_unref(m_context);
    }

    // Read answers "(v)" around value (taken).
    void answer(GVariant* value) {
        std::lock_guard lock(m_mutex);
        if (m_value != nullptr)
            g_variant_unref(m_value);
        m_value = g_variant_ref_sink(value);
        m_mode = Mode::Answer;
    }
    void set_mode(Mode mode) {
        std::lock_guard lock(m_mutex);
        m_mode = mode;
    }
    int reads() const { return m_reads; }
    GDBusConnection* connection() const { return m_conn; }

    // Emits SettingChanged with the given parameters (taken) as the portal.
    void emit(GVariant* parameters) {
        ASSERT_TRUE(g_dbus_connection_emit_signal(m_conn, nullptr, kPortalPath, kSettings,
                                                  "SettingChanged", parameters, nullptr));
    }

private:
    void run(const std::string& address, std::promise<bool>& ready) {
        m_context = g_main_context_new();
        g_main_context_push_thread_default(m_context);
        m_loop = g_main_loop_new(m_context, FALSE);
        m_conn = connect_to(address);
        bool ok = m_conn != nullptr;
        if (ok) {
            GVariant* owned = g_dbus_connection_call_sync(
                m_conn, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "RequestName", g_variant_new("(su)", kPortalName, 4u), G_VARIANT_TYPE("(u)"),
                G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
            guint32 result = 0;
            if (owned != nullptr) {
                g_variant_get(owned, "(u)", &result);
                g_variant_unref(owned);
            }
            GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kSettingsXml, nullptr);
            static const GDBusInterfaceVTable vtable = {&FakePortal::on_call, nullptr, nullptr, {}};
            m_registration = g_dbus_connection_register_object(
                m_conn, kPortalPath, node->interfaces[0], &vtable, this, nullptr, nullptr);
            g_dbus_node_info_unref(node);
            ok = result == 1 && m_registration != 0;
        }
        ready.set_value(ok);
        if (ok)
            g_main_loop_run(m_loop);
        g_main_context_pop_thread_default(m_context);
    }

    static void on_call(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                        const gchar* method, GVariant* parameters, GDBusMethodInvocation* inv,
                        gpointer self_ptr) {
        auto* self = static_cast<FakePortal*>(self_ptr);
        const gchar* ns = nullptr;
        const gchar* key = nullptr;
        g_variant_get(parameters, "(&s&s)", &ns, &key);
        ++self->m_reads;
        std::lock_guard lock(self->m_mutex);
        const bool known = std::string(method) == "Read" &&
                           std::string(ns) == "org.freedesktop.appearance" &&
                           std::string(key) == "color-scheme";
        if (known && self->m_mode == Mode::Silent) {
            self->m_held.push_back(inv);
        } else if (known && self->m_mode == Mode::Answer && self->m_value != nullptr) {
            g_dbus_method_invocation_return_value(inv, g_variant_new("(v)", self->m_value));
        } else {
            g_dbus_method_invocation_return_dbus_error(inv, "org.freedesktop.portal.Error.NotFound",
                                                       "Requested setting not found");
        }
    }

    std::thread m_thread;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    GDBusConnection* m_conn = nullptr;
    guint m_registration = 0;
    std::atomic<int> m_reads{0};
    std::mutex m_mutex;
    Mode m_mode = Mode::NotFound;
    GVariant* m_value = nullptr;
    std::vector<GDBusMethodInvocation*> m_held;
};

// The program's shared session connection, as desktop_theme uses it.
GDBusConnection* shared_session() {
    GDBusConnection* c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    EXPECT_NE(c, nullptr);
    g_object_unref(c);  // the process keeps it; the test only borrows it
    return c;
}

// Makes every signal `sender` emitted so far reach this process's main loop
// and be dispatched: no waiting on clocks.
void settle(GDBusConnection* sender) {
    ping(sender);
    ping(shared_session());
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

TEST(TextScale, XftDpiIsReadAsAFactorOf96DotsPerInchHeldToWhatDesktopsOffer) {
    using desktop_theme::detail::text_scale_from_xft_dpi;
    const struct {
        int xft_dpi;
        double scale;
    } cases[] = {
        {-1, 1},  // GTK's "not set"
        {0, 1},
        {96 * 1024, 1},
        {144 * 1024, 1.5},
        {120 * 1024, 1.25},
        {72 * 1024, 0.75},
        {1, 0.5},            // a broken resource cannot shrink text to nothing
        {2'000'000'000, 3},  // nor blow it up past use
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(text_scale_from_xft_dpi(c.xft_dpi), c.scale) << c.xft_dpi;
}

// --- Children: run only through the tests further down ---

struct GtkState {
    bool prefer_dark;
    const char* theme;
};

void set_gtk(const GtkState& s) {
    GtkSettings* settings = gtk_settings_get_default();
    ASSERT_NE(settings, nullptr);
    g_object_set(settings, "gtk-application-prefer-dark-theme", s.prefer_dark ? TRUE : FALSE,
                 "gtk-theme-name", s.theme, nullptr);
}

// The text scale is what GTK makes of the display (here a screen of 144 dots
// per inch with no desktop daemon setting one) and is followed live.
TEST(DesktopChild, DISABLED_TextScaleFollowsGtkAndCallsBackOnEveryChange) {
    VirtualDisplay display("800x600x24", 144);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    EXPECT_DOUBLE_EQ(desktop_theme::text_scale(), 1.5);

    GtkSettings* settings = gtk_settings_get_default();
    int calls = 0;
    desktop_theme::watch_text_scale([&calls] { ++calls; });
    g_object_set(settings, "gtk-xft-dpi", 120 * 1024, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_DOUBLE_EQ(desktop_theme::text_scale(), 1.25);

    int replaced = 0;
    desktop_theme::watch_text_scale([&replaced] { ++replaced; });
    g_object_set(settings, "gtk-xft-dpi", 96 * 1024, nullptr);
    EXPECT_EQ(calls, 1) << "a second watch replaces the first callback";
    EXPECT_EQ(replaced, 1);
    EXPECT_DOUBLE_EQ(desktop_theme::text_scale(), 1);

    desktop_theme::watch_text_scale(nullptr);
    g_object_set(settings, "gtk-xft-dpi", 192 * 1024, nullptr);
    EXPECT_EQ(replaced, 1) << "an empty callback stops the calls";
}

TEST(DesktopChild, DISABLED_PortalAnswerDecidesAndGtkFillsIn) {
    VirtualDisplay display;
    PrivateSessionBus bus;
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    std::optional<FakePortal> portal(std::in_place, bus.address());
    using M = FakePortal::Mode;
    const GtkState light_gtk{false, "Adwaita"};
    const GtkState dark_name{false, "Adwaita-dark"};
    const GtkState dark_flag{true, "Adwaita"};
    const struct {
        M mode;
        GVariant* value;
        GtkState gtk;
        bool want;
        const char* what;
    } cases[] = {
        {M::Answer, boxed(u32(1)), light_gtk, true, "portal dark over light GTK"},
        {M::Answer, boxed(u32(2)), dark_name, false, "portal light over a dark theme name"},
        {M::Answer, boxed(u32(2)), dark_flag, false, "portal light over GTK's dark flag"},
        {M::Answer, boxed(u32(0)), dark_name, true, "no preference, dark theme name"},
        {M::Answer, boxed(u32(0)), light_gtk, false, "no preference, light GTK"},
        {M::Answer, boxed(u32(0)), dark_flag, true, "no preference, GTK's dark flag"},
        {M::Answer, u32(1), light_gtk, true, "a value wrapped only once"},
        {M::Answer, boxed(g_variant_new_string("dark")), light_gtk, false, "a string answer"},
        {M::Answer, boxed(g_variant_new_string("dark")), dark_name, true, "a string, dark GTK"},
        {M::NotFound, nullptr, dark_name, true, "no such setting, dark theme name"},
        {M::NotFound, nullptr, light_gtk, false, "no such setting, light GTK"},
        {M::Silent, nullptr, dark_name, true, "portal never answers, dark theme name"},
        {M::Silent, nullptr, light_gtk, false, "portal never answers, light GTK"},
    };
    int reads = 0;
    for (const auto& c : cases) {
        if (c.value != nullptr)
            portal->answer(c.value);
        portal->set_mode(c.mode);
        set_gtk(c.gtk);
        EXPECT_EQ(desktop_theme::prefers_dark(), c.want) << c.what;
        EXPECT_EQ(portal->reads(), ++reads) << "the portal was not asked: " << c.what;
    }

    // With nobody owning the portal's name the call fails at once.
    portal.reset();
    set_gtk(dark_flag);
    EXPECT_TRUE(desktop_theme::prefers_dark());
    set_gtk(light_gtk);
    EXPECT_FALSE(desktop_theme::prefers_dark());
}

// The window frame follows the program's choice, written into GTK's settings;
// "Automatic" must keep asking the desktop, not read that choice back.
TEST(DesktopChild, DISABLED_OwnDarkFrameIsNotReadBackAsTheDesktopsWish) {
    VirtualDisplay display;
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    set_gtk({false, "Adwaita"});
    desktop_theme::set_window_dark(true);
    EXPECT_FALSE(desktop_theme::prefers_dark()) << "the frame's dark flag read as the desktop's";
    desktop_theme::set_window_dark(false);
    EXPECT_FALSE(desktop_theme::prefers_dark());
    // The theme name is still read live: the desktop may switch it at any time.
    g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita-dark", nullptr);
    EXPECT_TRUE(desktop_theme::prefers_dark());
}

TEST(DesktopChild, DISABLED_DesktopsOwnDarkFlagOutlivesALightFrame) {
    VirtualDisplay display;
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    set_gtk({true, "Adwaita"});
    desktop_theme::set_window_dark(false);
    EXPECT_TRUE(desktop_theme::prefers_dark()) << "the desktop's own dark flag was forgotten";
}

TEST(DesktopChild, DISABLED_WithoutABusNothingHangsOrCrashes) {
    EXPECT_FALSE(desktop_theme::prefers_dark());
    int calls = 0;
    desktop_theme::watch([&calls] { ++calls; });
    desktop_theme::watch([&calls] { ++calls; });
    desktop_theme::watch({});
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_FALSE(desktop_theme::prefers_dark());
    EXPECT_EQ(calls, 0);
}

GVariant* scheme_changed(guint32 v) {
    return setting("org.freedesktop.appearance", "color-scheme", u32(v));
}

TEST(DesktopChild, DISABLED_WatchCallsBackOnTheMainThreadForTheColourSchemeOnly) {
    PrivateSessionBus bus;
    FakePortal portal(bus.address());
    portal.answer(boxed(u32(2)));
    const std::thread::id main_thread = std::this_thread::get_id();

    int calls = 0;
    bool on_main_thread = true;
    bool dark_seen = false;
    // What the application does: re-read the preference inside the callback.
    desktop_theme::watch([&] {
        ++calls;
        on_main_thread = on_main_thread && std::this_thread::get_id() == main_thread;
        dark_seen = desktop_theme::prefers_dark();
    });
    settle(portal.connection());

    // The same signal from a connection that does not own the portal's name.
    GDBusConnection* stranger = connect_to(bus.address());
    ASSERT_NE(stranger, nullptr);
    ASSERT_TRUE(g_dbus_connection_emit_signal(stranger, nullptr, kPortalPath, kSettings,
                                              "SettingChanged", scheme_changed(1), nullptr));
    settle(stranger);
    EXPECT_EQ(calls, 0) << "a signal from another sender was taken for the portal's";

    // Other settings, and malformed signals, are ignored.
    portal.emit(setting("org.freedesktop.appearance", "accent-color", u32(1)));
    portal.emit(setting("org.gnome.desktop.interface", "color-scheme", u32(1)));
    portal.emit(g_variant_new("(ss)", "org.freedesktop.appearance", "color-scheme"));
    portal.emit(g_variant_new("(ssu)", "org.freedesktop.appearance", "color-scheme", 1u));
    settle(portal.connection());
    EXPECT_EQ(calls, 0);

    portal.answer(boxed(u32(1)));
    portal.emit(scheme_changed(1));
    settle(portal.connection());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(on_main_thread);
    EXPECT_TRUE(dark_seen);

    g_dbus_connection_close_sync(stranger, nullptr, nullptr);
    g_object_unref(stranger);
}

TEST(DesktopChild, DISABLED_WatchAgainReplacesTheCallbackWithoutASecondSubscription) {
    PrivateSessionBus bus;
    FakePortal portal(bus.address());
    int first = 0;
    int second = 0;
    int third = 0;
    desktop_theme::watch([&] { ++first; });
    desktop_theme::watch([&] { ++second; });
    settle(portal.connection());
    portal.emit(scheme_changed(1));
    settle(portal.connection());
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1) << "one signal must give exactly one call";

    // A callback that replaces itself while it runs, and still uses what it
    // captured afterwards.
    desktop_theme::watch([&] {
        desktop_theme::watch([&] { ++third; });
        ++second;
    });
    portal.emit(scheme_changed(2));
    portal.emit(scheme_changed(1));
    settle(portal.connection());
    EXPECT_EQ(second, 2);
    EXPECT_EQ(third, 1);

    // An empty callback stops the calls.
    desktop_theme::watch({});
    portal.emit(scheme_changed(2));
    settle(portal.connection());
    EXPECT_EQ(first + second + third, 3);
}

// --- Running the children ---

// Runs one child test and checks that it ran and passed.
void expect_child_passes(const std::string& name,
                         const std::map<std::string, std::optional<std::string>>& env = {}) {
    auto full_env = env;
    // GTK's accessibility bridge would look for its own bus on the private one.
    full_env.emplace("NO_AT_BRIDGE", "1");
    const auto r = run_test_in_child("DesktopChild.DISABLED_" + name, full_env);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << "did not run: " << r.out;
}

TEST(DesktopTheme, PortalAnswerDecidesAndGtkFillsIn) {
    TempDir home;
    // GTK reads settings files from the configuration folders; keep them empty.
    expect_child_passes("PortalAnswerDecidesAndGtkFillsIn", {{"HOME", home.path()},
                                                             {"XDG_CONFIG_HOME", home / "config"},
                                                             {"XDG_CONFIG_DIRS", home / "etc"},
                                                             {"XDG_RUNTIME_DIR", home.path()}});
}

TEST(DesktopTheme, OwnDarkFrameIsNotReadBackAsTheDesktopsWish) {
    TempDir home;
    // No portal answers, so GTK's settings decide; its settings files are kept empty.
    const std::map<std::string, std::optional<std::string>> env = {
        {"HOME", home.path()},
        {"XDG_CONFIG_HOME", home / "config"},
        {"XDG_CONFIG_DIRS", home / "etc"},
        {"XDG_RUNTIME_DIR", home.path()},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home / "no-bus")}};
    expect_child_passes("OwnDarkFrameIsNotReadBackAsTheDesktopsWish", env);
    expect_child_passes("DesktopsOwnDarkFlagOutlivesALightFrame", env);
}

TEST(DesktopTheme, WithoutABusNothingHangsOrCrashes) {
    TempDir runtime;
    // An address that leads nowhere, and no address at all with no runtime bus
    // socket and no display to start a bus for.
    expect_child_passes("WithoutABusNothingHangsOrCrashes",
                        {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (runtime / "no-bus")},
                         {"DISPLAY", std::nullopt}});
    expect_child_passes("WithoutABusNothingHangsOrCrashes",
                        {{"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
                         {"XDG_RUNTIME_DIR", runtime.path()},
                         {"DISPLAY", std::nullopt},
                         {"WAYLAND_DISPLAY", std::nullopt}});
}

TEST(DesktopTheme, WatchCallsBackOnTheMainThreadForTheColourSchemeOnly) {
    expect_child_passes("WatchCallsBackOnTheMainThreadForTheColourSchemeOnly",
                        {{"DISPLAY", std::nullopt}});
}

TEST(DesktopTheme, WatchAgainReplacesTheCallbackWithoutASecondSubscription) {
    expect_child_passes("WatchAgainReplacesTheCallbackWithoutASecondSubscription",
                        {{"DISPLAY", std::nullopt}});
}

TEST(DesktopTheme, TextScaleFollowsGtkAndCallsBackOnEveryChange) {
    TempDir home;
    expect_child_passes("TextScaleFollowsGtkAndCallsBackOnEveryChange",
                        {{"HOME", home.path()},
                         {"XDG_CONFIG_HOME", home / "config"},
                         {"XDG_CONFIG_DIRS", home / "etc"},
                         {"XDG_RUNTIME_DIR", home.path()}});
}

}  // namespace
