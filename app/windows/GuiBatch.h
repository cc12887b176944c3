#pragma once
// The batch a drop starts in the program: the shared batch run with the
// desktop's boxes, the wait cursor and the progress popup.
#include "DropBatch.h"

namespace tessarin {

class ShellServices;

class GuiBatch : public DropBatch {
public:
    explicit GuiBatch(ShellServices& shell) : m_shell(shell) {}

    void Run(const std::vector<std::string>& names, const std::string& password, const std::string& confirmation,
             const AppSettings& settings, QWidget* mainWindow) override;

private:
    ShellServices& m_shell;
};

} // namespace tessarin
