// app_desktop — what the window asks of the desktop on the user's behalf:
// showing an entry in the file manager, or saying where it is when no file
// manager answers.
//
// Every call here may block (a D-Bus call, starting a program), so callers
// copy what they need under m_mutex and call in without it.
#include "base/i18n.h"
#include "base/settings.h"
#include "desktop/file_manager.h"
#include "window/app.h"

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
