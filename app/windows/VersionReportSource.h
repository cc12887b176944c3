#pragma once
// The version report of the modules as they are now, for the About box.
#include <QString>

namespace tessarin {

class VersionReportSource {
public:
    static QString Current();
};

} // namespace tessarin
