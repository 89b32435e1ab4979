// desktop_theme — whether the desktop prefers a dark appearance, how large it
// wants text drawn, and subscriptions to changes of both.
//
// The XDG desktop portal's appearance setting ("color-scheme" in
// "org.freedesktop.appearance") is asked first over the session D-Bus; when it
// gives no clear answer, GTK's own settings decide. A missing session bus or
// portal is an ordinary case (a bare X session, a test machine) and simply
// falls back; nothing here waits longer than the 500 ms D-Bus time-out.
//
// Never changes any desktop setting, shows a message, logs or throws. The one
// GTK setting it writes, for the window frame, lives in this process only.
//
// Threads: the GTK main thread only. The callback given to watch runs in the
// main context of the thread that called watch.
#pragma once

#include <glib.h>

#include <functional>

namespace desktop_theme {

// Whether the desktop currently prefers a dark appearance. Synchronous: blocks
// for at most the 500 ms D-Bus time-out when the portal does not answer.
// Without a bus, a portal answer or GTK (not initialised), the answer is false.
bool prefers_dark();

// Makes GTK draw this program's window frame dark or light, through GTK's
// "gtk-application-prefer-dark-theme". That setting is also where the desktop
// may have asked for dark (the user's GTK settings file), so its value before
// the first call is remembered and prefers_dark reads that from then on: the
// live value would be this program's own choice read back as the desktop's.
// Without GTK settings (GTK not initialised) nothing happens.
void set_window_dark(bool dark);

// Subscribes to the portal's "SettingChanged" signal; on_change runs on the
// calling thread's main loop whenever the colour-scheme setting changes (the
// new value is not passed: the caller asks prefers_dark again). Without a
// session bus nothing is subscribed. A second call replaces the callback and
// keeps the single subscription; an empty callback stops the calls. The
// subscription lasts for the life of the process.
void watch(std::function<void()> on_change);

// The desktop's text-scaling factor: 1 for ordinary text, 1.5 for text half
// again as large. Read from GTK's "gtk-xft-dpi", which GTK keeps from the
// XSETTINGS daemon, the X resource Xft.dpi or, in a sandbox, the settings
// portal (GNOME's text-scaling-factor ends up there), and which does not hold
// the window's own scale factor. 1 without GTK settings (GTK not initialised).
double text_scale();

// Calls on_change on the main loop whenever GTK's "gtk-xft-dpi" changes; the
// caller asks text_scale again. Without GTK settings nothing is subscribed.
// A second call replaces the callback; the subscription lasts for the life of
// the process.
void watch_text_scale(std::function<void()> on_change);

// --- Pure steps, exposed for the tests ---
namespace detail {

// The text-scaling factor a "gtk-xft-dpi" value stands for: 1024ths of dots
// per inch over 96 dpi. Zero or less means "not set" and gives 1; anything
// else is held to 0.5–3, the range desktops offer, so that a broken X resource
// cannot make the window unusable.
double text_scale_from_xft_dpi(int xft_dpi);

// What the portal says about the colour scheme.
enum class Scheme {
    NoPreference,  // 0, another number, an unexpected shape or no answer: GTK decides
    Dark,          // 1
    Light,         // 2
};

// Reads the reply of the portal's Settings.Read, a one-element tuple "(v)".
// The value inside may be wrapped in any number of variants (the portal wraps
// it twice); the innermost must be a "u". Null and every other shape give
// NoPreference. Does not take ownership of reply.
Scheme scheme_from_read_reply(GVariant* reply);

// GTK's view: the application's prefer-dark flag, else a theme name containing
// "dark" in any letter case (such as "Adwaita-dark"). theme_name may be null.
bool gtk_prefers_dark(bool prefer_dark_theme, const char* theme_name);

// Whether the parameters of a "SettingChanged" signal, "(ssv)" = namespace,
// key, value, announce a change of the colour scheme. Null or any other shape
// gives false. Does not take ownership of parameters.
bool is_color_scheme_change(GVariant* parameters);

}  // namespace detail

}  // namespace desktop_theme
