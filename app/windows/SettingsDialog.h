#pragma once
// "AES Main Configuration": six pages in a tab control edit a copy of the
// settings; "&OK" collects every page, "&Cancel" (or Escape, or closing)
// drops the edits. The direction of work is not here: the main window's
// radio buttons hold it.
#include "application/AppSettings.h"

#include <QDialog>

#include <array>

class QTabWidget;

namespace tessarin {

class ContextHelp;
class SettingsPage;
class ShellServices;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int PageCount = 6;

    SettingsDialog(const AppSettings& settings, ShellServices& shell, QWidget* parent);

    // The settings given, with every page's values written over them once
    // "&OK" was pressed; unchanged otherwise.
    const AppSettings& Values() const { return m_values; }

    QTabWidget* Tabs() const { return m_tabs; }
    SettingsPage* Page(int index) const { return m_pages.at(static_cast<std::size_t>(index)); }
    ContextHelp* Help() const { return m_help; }

    void accept() override;

private:
    void BuildPlainPages();

    AppSettings m_values;
    QTabWidget* m_tabs;
    std::array<SettingsPage*, PageCount> m_pages{};
    ContextHelp* m_help = nullptr;
};

} // namespace tessarin
