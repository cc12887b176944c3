#include "GuiBatch.h"

#include "QtBatchUi.h"
#include "application/BatchRun.h"

namespace tessarin {

void GuiBatch::Run(const std::vector<std::string>& names, const std::string& password, const std::string& confirmation,
                   const AppSettings& settings, QWidget* mainWindow)
{
    QtBatchUi ui(m_shell, mainWindow);
    RunBatch(names, password, confirmation, settings, ui);
}

} // namespace tessarin
