// The settings dialog's table, read from SettingsTable.inc.
#include "application/SettingsTable.h"

#include <array>

namespace tessarin {
namespace {

const SettingsPageInfo kPages[] = {
#define SETTINGS_PAGE(id, title, w, h) {id, title, w, h},
#define SETTINGS_PAGE_END()
#define SETTINGS_CHECK(...)
#define SETTINGS_EDIT(...)
#define SETTINGS_LIST(...)
#define SETTINGS_COMBO(...)
#define SETTINGS_LABEL(...)
#define SETTINGS_GROUP(...)
#define SETTINGS_BUTTON(...)
#include "application/SettingsTable.inc"
#undef SETTINGS_PAGE
#undef SETTINGS_PAGE_END
#undef SETTINGS_CHECK
#undef SETTINGS_EDIT
#undef SETTINGS_LIST
#undef SETTINGS_COMBO
#undef SETTINGS_LABEL
#undef SETTINGS_GROUP
#undef SETTINGS_BUTTON
};

// Each control learns its page from the SETTINGS_PAGE line above it.
std::vector<SettingsControl> BuildControls()
{
    std::vector<SettingsControl> controls;
    int page = 0;
    using K = SettingsControlKind;
#define SETTINGS_PAGE(id, title, w, h) page = id;
#define SETTINGS_PAGE_END()
#define SETTINGS_CHECK(id, text, field, x, y, w, h) \
    controls.push_back({page, id, K::Check, text, #field, &AppSettings::field, nullptr, x, y, w, h, {}});
#define SETTINGS_EDIT(id, field, x, y, w, h) \
    controls.push_back({page, id, K::Edit, nullptr, #field, nullptr, &AppSettings::field, x, y, w, h, {}});
#define SETTINGS_LIST(id, field, x, y, w, h, ...) \
    controls.push_back({page, id, K::List, nullptr, #field, &AppSettings::field, nullptr, x, y, w, h, {__VA_ARGS__}});
#define SETTINGS_COMBO(id, field, x, y, w, h, ...) \
    controls.push_back({page, id, K::Combo, nullptr, #field, &AppSettings::field, nullptr, x, y, w, h, {__VA_ARGS__}});
#define SETTINGS_LABEL(id, text, x, y, w, h) \
    controls.push_back({page, id, K::Label, text, nullptr, nullptr, nullptr, x, y, w, h, {}});
#define SETTINGS_GROUP(id, text, x, y, w, h) \
    controls.push_back({page, id, K::Group, text, nullptr, nullptr, nullptr, x, y, w, h, {}});
#define SETTINGS_BUTTON(id, text, x, y, w, h) \
    controls.push_back({page, id, K::Button, text, nullptr, nullptr, nullptr, x, y, w, h, {}});
#include "application/SettingsTable.inc"
#undef SETTINGS_PAGE
#undef SETTINGS_PAGE_END
#undef SETTINGS_CHECK
#undef SETTINGS_EDIT
#undef SETTINGS_LIST
#undef SETTINGS_COMBO
#undef SETTINGS_LABEL
#undef SETTINGS_GROUP
#undef SETTINGS_BUTTON
    return controls;
}

// Logging greys the name and its two buttons at every exchange; a click on
// the switch reaches the label and the frame as well.
constexpr std::array kLoggingExchange{1502, 1000, 1001};
constexpr std::array kLoggingClick{1502, 1000, 1001, 1300, 1301};
// Compression greys the whole filtering group, its frame and labels
// included, whenever it applies; only the switch stays active.
constexpr std::array kFiltering{1103, 1104, 1302, 1303, 1304, 1305, 1411, 1505};

const SettingsGreying kGreyings[] = {
    {103, 1403, kLoggingExchange, kLoggingClick},
    {106, 1409, kFiltering, kFiltering},
};

} // namespace

std::span<const SettingsPageInfo> SettingsTable::Pages()
{
    return kPages;
}

std::span<const SettingsControl> SettingsTable::Controls()
{
    static const std::vector<SettingsControl> controls = BuildControls();
    return controls;
}

std::span<const SettingsGreying> SettingsTable::Greyings()
{
    return kGreyings;
}

const SettingsControl* SettingsTable::Find(int id)
{
    for (const SettingsControl& control : Controls()) {
        if (control.id == id && id != -1) return &control;
    }
    return nullptr;
}

const SettingsGreying* SettingsTable::GreyingOf(int pageId)
{
    for (const SettingsGreying& rule : kGreyings) {
        if (rule.page == pageId) return &rule;
    }
    return nullptr;
}

int SettingsTable::PageIndex(int pageId)
{
    for (std::size_t i = 0; i < std::size(kPages); ++i) {
        if (kPages[i].id == pageId) return static_cast<int>(i);
    }
    return -1;
}

} // namespace tessarin
