#pragma once
// What a drop on the main window starts: one batch over the dropped names
// with the password pair and the settings of the moment. The program runs
// the real batch; tests put a recorder in its place.
#include "application/AppSettings.h"

#include <string>
#include <vector>

class QWidget;

namespace tessarin {

class DropBatch {
public:
    virtual ~DropBatch() = default;

    // names: the dropped paths as the file system spells them. mainWindow
    // owns the batch's boxes and is disabled while its progress shows.
    virtual void Run(const std::vector<std::string>& names, const std::string& password,
                     const std::string& confirmation, const AppSettings& settings, QWidget* mainWindow) = 0;
};

} // namespace tessarin
