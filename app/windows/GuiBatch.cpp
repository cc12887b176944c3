#include "GuiBatch.h"

#include "ShellServices.h"

namespace tessarin {

void GuiBatch::Run(const std::vector<std::string>&, const std::string&, const std::string&, const AppSettings&,
                   QWidget* mainWindow)
{
    // Replaced by the shared batch run once it is part of the build.
    m_shell.ShowMessage(mainWindow, ShellServices::Icon::Information, QStringLiteral("Tessarin"),
                        QStringLiteral("Batches are not part of this build yet."));
}

} // namespace tessarin
