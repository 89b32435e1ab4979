// app_desktop — what the window asks of the desktop on the user's behalf:
// showing an entry in the file manager, or saying where it is when no file
// manager answers.
//
// Every call here may block (a D-Bus call, starting a program, a modal
// chooser), so callers copy what they need under m_mutex and call in without
// it.
#include "base/i18n.h"
#include "base/paths.h"
#include "base/product.h"
#include "base/settings.h"
#include "desktop/file_manager.h"
#include "engine/catalog.h"
#include "window/app.h"

// --- The file manager ---

void App::reveal_or_explain(const std::string& path) {
    const std::string command = SettingsStore::instance().get().file_manager_command;
    if (file_manager::reveal(path, command).ok)
        return;
    const I18n& i18n = I18n::instance();
    show_dialog(
        i18n.tr("Could not open the file manager"),
        std::string(i18n.tr("No file manager answered. The folder is here:")) + "\n\n" + ltr(path),
        {DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
}

void App::test_file_manager() {
    const std::string command = SettingsStore::instance().get().file_manager_command;
    if (file_manager::reveal(paths::real_home(), command).ok)
        return;
    const I18n& i18n = I18n::instance();
    show_dialog(i18n.tr("File manager"),
                i18n.tr("The file manager could not be started. Check the command, or empty the "
                        "field to use the system default."),
                {DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
}

void App::detect_file_manager() {
    m_fm_detected = file_manager::detect();
}

// --- Links and folders ---

void App::open_link(Act link) {
    // A browser or mail program that cannot be started leaves nothing to
    // explain: the address is on the panel for the user to copy.
    if (link == Act::LinkWebsite)
        file_manager::open_url(product::kWebsite);
    else if (link == Act::LinkContact)
        file_manager::open_url(std::string("mailto:") + product::kSupportMail);
}

void App::choose_projects_folder() {
    const std::optional<std::string> folder =
        file_manager::pick_folder(m_window != nullptr ? GTK_WINDOW(m_window) : nullptr);
    if (!folder)
        return;
    const I18n& i18n = I18n::instance();
    if (const char* refusal = settings_util::projects_root_refusal(*folder)) {
        show_dialog(i18n.tr("Projects folder"), i18n.tr(refusal),
                    {DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
        return;
    }
    SettingsStore& store = SettingsStore::instance();
    store.mutable_get().projects_root = *folder;
    store.save();
    catalog::set_projects_root(*folder);
    start_scan();
}
