// desktop_theme — the desktop's light/dark preference. See desktop_theme.h.
#include "desktop/desktop_theme.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "base/strutil.h"

namespace desktop_theme {

namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* kAppearanceNamespace = "org.freedesktop.appearance";
constexpr const char* kColorSchemeKey = "color-scheme";
// Long enough for a portal that is being started on demand, short enough that
// a hung portal delays the first frame only a little.
constexpr int kPortalTimeoutMs = 500;

// The watcher's state. Set on the main thread by watch and read there by the
// signal handler; kept until the process ends, like the subscription.
std::function<void()>* g_callback = nullptr;
GDBusConnection* g_watch_bus = nullptr;
guint g_subscription = 0;
// GTK's prefer-dark flag as the desktop set it, taken just before
// set_window_dark first overwrote it; empty until then.
std::optional<bool> g_desktop_prefer_dark;

// The session bus, or null when there is none (no address, no daemon, no
// display to autolaunch one); the reason is of no use to the user.
GDBusConnection* session_bus() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    g_clear_error(&error);
    return bus;
}

detail::Scheme portal_scheme() {
    GDBusConnection* bus = session_bus();
    if (bus == nullptr)
        return detail::Scheme::NoPreference;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kPortalName, kPortalPath, kSettingsInterface, "Read",
        g_variant_new("(ss)", kAppearanceNamespace, kColorSchemeKey), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, kPortalTimeoutMs, nullptr, &error);
    g_object_unref(bus);
    // No portal, a portal without the appearance setting and a time-out all
    // arrive here as errors; GTK's settings decide then.
    g_clear_error(&error);
    const detail::Scheme scheme = detail::scheme_from_read_reply(reply);
    if (reply != nullptr)
        g_variant_unref(reply);
    return scheme;
}

bool gtk_settings_prefer_dark() {
    // Without a display GTK has no settings object: light, as documented.
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr)
        return false;
    gboolean prefer_dark = FALSE;
    gchar* theme_name = nullptr;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &prefer_dark, "gtk-theme-name",
                 &theme_name, nullptr);
    const bool flag = g_desktop_prefer_dark.value_or(prefer_dark != FALSE);
    const bool dark = detail::gtk_prefers_dark(flag, theme_name);
    g_free(theme_name);
    return dark;
}

// The callback of watch_text_scale; owned, never freed (lives with the process).
std::function<void()>* g_text_scale_callback = nullptr;
gulong g_text_scale_handler = 0;

void on_xft_dpi_changed(GObject*, GParamSpec*, gpointer) {
    if (g_text_scale_callback == nullptr)
        return;
    const std::function<void()> callback = *g_text_scale_callback;
    callback();
}

void on_setting_changed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                        GVariant* parameters, gpointer) {
    if (g_callback == nullptr || !detail::is_color_scheme_change(parameters))
        return;
    // Called through a copy: the callback may call watch and replace the
    // stored one while it runs.
    const std::function<void()> callback = *g_callback;
    callback();
}

}  // namespace

// --- Pure steps ---

namespace detail {

Scheme scheme_from_read_reply(GVariant* reply) {
    if (reply == nullptr || !g_variant_is_of_type(reply, G_VARIANT_TYPE_TUPLE) ||
        g_variant_n_children(reply) != 1)
        return Scheme::NoPreference;
    GVariant* value = g_variant_get_child_value(reply, 0);
    while (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
        GVariant* inner = g_variant_get_variant(value);
        g_variant_unref(value);
        value = inner;
    }
    Scheme scheme = Scheme::NoPreference;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
        const guint32 v = g_variant_get_uint32(value);
        if (v == 1)
            scheme = Scheme::Dark;
        else if (v == 2)
            scheme = Scheme::Light;
    }
    g_variant_unref(value);
    return scheme;
}

bool gtk_prefers_dark(bool prefer_dark_theme, const char* theme_name) {
    if (prefer_dark_theme)
        return true;
    if (theme_name == nullptr)
        return false;
    return su::lower_ascii(theme_name).find("dark") != std::string::npos;
}

bool is_color_scheme_change(GVariant* parameters) {
    // GDBus does not check a signal's signature against any declaration, so a
    // sender on the bus can send anything; unpacking a wrong shape would read
    // garbage.
    if (parameters == nullptr || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)")))
        return false;
    const gchar* ns = nullptr;
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    g_variant_get(parameters, "(&s&sv)", &ns, &key, &value);
    g_variant_unref(value);
    return std::strcmp(ns, kAppearanceNamespace) == 0 && std::strcmp(key, kColorSchemeKey) == 0;
}

double text_scale_from_xft_dpi(int xft_dpi) {
    if (xft_dpi <= 0)
        return 1;
    const double scale = xft_dpi / 1024.0 / 96.0;
    return std::clamp(scale, 0.5, 3.0);
}

}  // namespace detail

// --- Public interface ---

bool prefers_dark() {
    switch (portal_scheme()) {
        case detail::Scheme::Dark:
            return true;
        case detail::Scheme::Light:
            return false;
        case detail::Scheme::NoPreference:
            break;
    }
    return gtk_settings_prefer_dark();
}

void set_window_dark(bool dark) {
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr)
        return;
    if (!g_desktop_prefer_dark) {
        gboolean prefer_dark = FALSE;
        g_object_get(settings, "gtk-application-prefer-dark-theme", &prefer_dark, nullptr);
        g_desktop_prefer_dark = prefer_dark != FALSE;
    }
    g_object_set(settings, "gtk-application-prefer-dark-theme", dark ? TRUE : FALSE, nullptr);
}

void watch(std::function<void()> on_change) {
    if (g_subscription == 0) {
        GDBusConnection* bus = session_bus();
        // Without a bus the appearance changes only when the user changes the
        // setting in the program.
        if (bus == nullptr)
            return;
        // The reference is kept so that the connection, and with it the
        // subscription, stays open for the life of the process.
        g_watch_bus = bus;
        g_subscription = g_dbus_connection_signal_subscribe(
            g_watch_bus, kPortalName, kSettingsInterface, "SettingChanged", kPortalPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, on_setting_changed, nullptr, nullptr);
    }
    delete g_callback;
    g_callback = on_change ? new std::function<void()>(std::move(on_change)) : nullptr;
}

double text_scale() {
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr)
        return 1;
    gint xft_dpi = -1;
    g_object_get(settings, "gtk-xft-dpi", &xft_dpi, nullptr);
    return detail::text_scale_from_xft_dpi(xft_dpi);
}

void watch_text_scale(std::function<void()> on_change) {
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr)
        return;
    if (g_text_scale_handler == 0)
        g_text_scale_handler = g_signal_connect(settings, "notify::gtk-xft-dpi",
                                                G_CALLBACK(on_xft_dpi_changed), nullptr);
    delete g_text_scale_callback;
    g_text_scale_callback = on_change ? new std::function<void()>(std::move(on_change)) : nullptr;
}

}  // namespace desktop_theme
