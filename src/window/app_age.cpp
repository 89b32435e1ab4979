// app_age — ticking by age: "Safe ones older than …" in a category and the
// overview's "Old safe entries …" across every category, the choice of age
// (30, 90, 180 or 365 days, the last one kept in the settings), and the
// summary the overview's selection opens before anything can be deleted.
//
// An entry's age counts from Item::age_from(): a project's leftovers are as
// old as the last work on their project. Ticking by age replaces the ticks of
// the categories it covers, so the summary tells exactly what is ticked.
//
// Threads: main thread only; takes m_mutex for the lists.
//
// Sections:
//   Choosing an age
//   Ticking
//   Summary
#include <algorithm>
#include <ctime>

#include "base/format.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "window/app.h"

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;

// Categories named in the summary at most; the rest are counted.
constexpr std::size_t kSummaryCategories = 4;

}  // namespace

// --- Choosing an age ---

void App::ask_age(bool everywhere) {
    const I18n& i18n = I18n::instance();
    m_age_everywhere = everywhere;
    std::vector<DialogButton> buttons;
    for (std::size_t k = 0; k < std::size(settings_util::kAgeChoices); ++k) {
        const int days = settings_util::kAgeChoices[k];
        buttons.push_back(DialogButton{CMD_AGE_FIRST + static_cast<int>(k),
                                       i18n.trf("%s days", ltr(fmt::count(days))), false, false});
    }
    buttons.push_back(DialogButton{CMD_CANCEL, i18n.tr("Cancel"), false, true});
    show_dialog(i18n.tr("Safe ones older than …"),
                i18n.tr(everywhere ? "Tick every Safe entry, in every category, that has not "
                                     "changed for at least this long. A project's leftovers "
                                     "count from the last change to the project."
                                   : "Tick the Safe entries here that have not changed for at "
                                     "least this long. A project's leftovers count from the "
                                     "last change to the project."),
                std::move(buttons));
}

void App::choose_age(int choice) {
    if (choice < 0 || choice >= static_cast<int>(std::size(settings_util::kAgeChoices)))
        return;
    const int days = settings_util::kAgeChoices[static_cast<std::size_t>(choice)];
    SettingsStore& store = SettingsStore::instance();
    if (store.get().older_than_days != days) {
        store.mutable_get().older_than_days = days;
        store.save();
    }
    const std::time_t now = std::time(nullptr);
    if (!m_age_everywhere) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (CatState* cs = current_category())
            select_older(*cs, days, now);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (CatState& cs : m_cats)
            select_older(cs, days, now);
    }
    show_age_summary(days);
}

// --- Ticking ---

bool App::is_old_and_safe(const Item& it, int days, std::time_t now) {
    const std::time_t from = it.age_from();
    // A time in the future, or none known, is no age at all.
    if (from <= 0 || from > now)
        return false;
    return it.safety == SafetyLevel::Safe && !it.keep_hint && !it.kept && it.size >= 0 &&
           now - from >= static_cast<std::time_t>(days) * kDay;
}

void App::select_older(CatState& cat, int days, std::time_t now) {
    for (Item& it : cat.items)
        it.selected = is_old_and_safe(it, days, now);
}

// --- Summary ---

void App::show_age_summary(int days) {
    const I18n& i18n = I18n::instance();
    struct Part {
        std::string title;
        int count = 0;
        std::int64_t bytes = 0;
    };
    std::vector<Part> parts;
    int count = 0;
    std::int64_t bytes = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const CatState& cs : m_cats) {
            Part p{i18n.tr(cs.def.title.c_str()), 0, 0};
            for (const Item& it : cs.items) {
                if (!it.selected)
                    continue;
                ++p.count;
                p.bytes += std::max<std::int64_t>(it.size, 0);
            }
            count += p.count;
            bytes += p.bytes;
            if (p.count > 0)
                parts.push_back(std::move(p));
        }
    }
    const std::string n_days = ltr(fmt::count(days));
    if (count == 0) {
        show_dialog(i18n.tr("Old safe entries"),
                    i18n.trf("No Safe entry is older than %s days.", n_days),
                    {DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
        return;
    }
    std::stable_sort(parts.begin(), parts.end(),
                     [](const Part& a, const Part& b) { return a.bytes > b.bytes; });
    std::string message = i18n.trf("%s item(s) · %s, unchanged for %s days or more",
                                   ltr(fmt::count(count)), ltr(fmt::bytes(bytes)), n_days);
    for (std::size_t i = 0; i < parts.size() && i < kSummaryCategories; ++i) {
        message +=
            "\n" + i18n.trf("%s: %s item(s) · %s", parts[i].title, ltr(fmt::count(parts[i].count)),
                            ltr(fmt::bytes(parts[i].bytes)));
    }
    if (parts.size() > kSummaryCategories) {
        message +=
            "\n" +
            i18n.trf("and %s more categories",
                     ltr(fmt::count(static_cast<std::int64_t>(parts.size() - kSummaryCategories))));
    }
    show_dialog(i18n.tr("Old safe entries"), message,
                {DialogButton{CMD_REVIEW_SELECTION, i18n.tr("Delete permanently"), true, false},
                 DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
}
