// The help strings, read from HelpTexts.inc.
#include "application/HelpTextTable.h"

namespace tessarin {
namespace {

const HelpText kTexts[] = {
#define HELP_TEXT(id, text) {id, text},
#include "application/HelpTexts.inc"
#undef HELP_TEXT
};

} // namespace

std::span<const HelpText> HelpTextTable::All()
{
    return kTexts;
}

const char* HelpTextTable::ForId(int id)
{
    for (const HelpText& entry : kTexts) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

} // namespace tessarin
