#pragma once
// The About box's texts, without a toolkit: the title, edition, links and
// disclaimer it shows, and the guide with the program's limits around the
// live version report. Both the Qt and the Win32 About box show these.
#include "application/AboutTexts.inc"

#include <string>

namespace tessarin {

class AboutGuide {
public:
    static constexpr const char* Caption = TESSARIN_ABOUT_CAPTION;
    static constexpr const char* Title = TESSARIN_ABOUT_TITLE;
    static constexpr const char* Edition = TESSARIN_ABOUT_EDITION;
    static constexpr const char* HomeLink = TESSARIN_ABOUT_HOME;
    static constexpr const char* MirrorLink = TESSARIN_ABOUT_MIRROR;
    static constexpr const char* Heading = TESSARIN_ABOUT_HEADING;
    static constexpr const char* Disclaimer = TESSARIN_ABOUT_DISCLAIMER;

    // What the program is and its constraints, "3. LIBRARY VERSIONS" with
    // the report, then thanks and license. Lines end with CR LF.
    static std::string Text(const std::string& versionReport);
};

} // namespace tessarin
