#pragma once
// What the settings dialog shows, without a toolkit: its six pages in tab
// order, every control with its id, kind, label, list items, position and
// the AppSettings field it edits, and the greying rules of the two pages
// that have them. The Qt dialog and the Win32 dialog are both built from
// it, so the two cannot drift apart.
#include "application/AppSettings.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tessarin {

enum class SettingsControlKind { Check, Edit, List, Combo, Label, Group, Button };

struct SettingsControl {
    int page;                 // the page's resource id
    int id;                   // -1 for a label that has none
    SettingsControlKind kind;
    const char* text;         // label of a check box, label, group or button
    const char* field;        // the AppSettings value name, or null
    std::int32_t AppSettings::*intField;   // check boxes and lists
    SettingsText AppSettings::*textField;  // edit boxes
    int x, y, width, height;  // dialog units inside the page
    std::vector<std::string_view> items;   // list items in their order
};

struct SettingsPageInfo {
    int id;
    const char* title;
    int width, height;        // dialog units of the page resource
};

// A page whose switch greys other controls: by the switch's value whenever
// the page exchanges data with its controls, and by its new value when it
// is clicked (the click may reach more controls: labels and frames).
struct SettingsGreying {
    int page;
    int switchId;
    std::span<const int> onExchange;
    std::span<const int> onClick;
};

class SettingsTable {
public:
    static constexpr int DialogId = 108;
    static constexpr int TabControlId = 1010;
    static constexpr const char* Caption = "AES Main Configuration";

    static std::span<const SettingsPageInfo> Pages();
    static std::span<const SettingsControl> Controls();
    static std::span<const SettingsGreying> Greyings();

    // The control of an id (not -1), or null.
    static const SettingsControl* Find(int id);
    // The greying rule of a page, or null when it has none.
    static const SettingsGreying* GreyingOf(int pageId);
    // The index of a page in tab order, or -1.
    static int PageIndex(int pageId);
};

} // namespace tessarin
