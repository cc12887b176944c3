#include "SettingsDialog.h"

#include "CompressionPage.h"
#include "ContextHelp.h"
#include "FileLoggingPage.h"
#include "HelpTexts.h"
#include "ProgramIcon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <tuple>

namespace tessarin {
namespace {

QStringList BitChoices()
{
    return {QStringLiteral("128"), QStringLiteral("192"), QStringLiteral("256")};
}

} // namespace

SettingsDialog::SettingsDialog(const AppSettings& settings, ShellServices& shell, QWidget* parent)
    : QDialog(parent), m_values(settings), m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("108"));
    setWindowTitle(QStringLiteral("AES Main Configuration"));
    setWindowIcon(ProgramIcon::Icon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);

    m_tabs->setObjectName(QStringLiteral("1010"));
    m_tabs->setUsesScrollButtons(false);
    m_tabs->tabBar()->setExpanding(false);
    // Tab order: File Handling, Searching, File Logging, Encryption,
    // Compression, Window Properties.
    BuildPlainPages();
    m_pages[2] = new FileLoggingPage(shell, m_tabs);
    m_pages[4] = new CompressionPage(m_tabs);
    for (SettingsPage* page : m_pages) {
        page->Load(m_values);
        m_tabs->addTab(page, page->Title());
    }
    m_tabs->setCurrentIndex(0);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &SettingsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SettingsDialog::reject);
    const int buttonWidth = std::max(ok->sizeHint().width(), cancel->sizeHint().width()) * 5 / 4;
    ok->setMinimumWidth(buttonWidth);
    cancel->setMinimumWidth(buttonWidth);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    HelpTexts::Apply(this);
    m_help = new ContextHelp(this);
}

void SettingsDialog::BuildPlainPages()
{
    auto* handling = new SettingsPage(101, QStringLiteral("File Handling"), m_tabs);
    auto* handlingLayout = new QVBoxLayout(handling);
    handlingLayout->addWidget(
        handling->AddCheck(1406, QStringLiteral("&3-pass Wiping for Temporary Files"), &AppSettings::checkWiping));
    handlingLayout->addWidget(
        handling->AddCheck(1400, QStringLiteral("&Filename Mangling/Restoring"), &AppSettings::checkMangling));
    handlingLayout->addWidget(handling->AddCheck(1404, QStringLiteral("&Append Filename Extension to \".aes\" "),
                                                 &AppSettings::checkChangeExt));
    handlingLayout->addWidget(handling->AddCheck(1408, QStringLiteral("&Keep Original File After Crypting/Decrypting"),
                                                 &AppSettings::checkKeepOriginal));
    handlingLayout->addStretch(1);
    m_pages[0] = handling;

    auto* searching = new SettingsPage(102, QStringLiteral("Searching"), m_tabs);
    auto* searchingLayout = new QVBoxLayout(searching);
    searchingLayout->addWidget(
        searching->AddCheck(1401, QStringLiteral("&Recursive Subdirectories"), &AppSettings::checkRecursive));
    searchingLayout->addWidget(
        searching->AddCheck(1402, QStringLiteral("&cAsE seNSiVe Search Modality"), &AppSettings::checkSensive));
    auto* patternRow = new QHBoxLayout;
    QLineEdit* pattern = searching->AddEdit(1503, &AppSettings::editPattern);
    patternRow->addWidget(searching->AddLabel(0, QStringLiteral("Matching Pattern :"), pattern));
    patternRow->addWidget(pattern, 1);
    searchingLayout->addLayout(patternRow);
    searchingLayout->addStretch(1);
    m_pages[1] = searching;

    auto* encryption = new SettingsPage(104, QStringLiteral("Encryption"), m_tabs);
    auto* encryptionLayout = new QFormLayout(encryption);
    encryptionLayout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    const std::array<std::tuple<int, QString, QStringList, std::int32_t AppSettings::*>, 3> lists{{
        {1100, QStringLiteral("&Key Length (bit) Parameter:"), BitChoices(), &AppSettings::comboKeyLen},
        {1101, QStringLiteral("&Block Size (bit) Parameter:"), BitChoices(), &AppSettings::comboBlockSize},
        {1102, QStringLiteral("&Operation Mode Parameter:"),
         {QStringLiteral("CBC"), QStringLiteral("CFB"), QStringLiteral("ECB")}, &AppSettings::comboOperMode},
    }};
    for (const auto& [id, text, items, field] : lists) {
        QComboBox* list = encryption->AddList(id, items, field);
        encryptionLayout->addRow(encryption->AddLabel(0, text, list), list);
    }
    m_pages[3] = encryption;

    auto* window = new SettingsPage(105, QStringLiteral("Window Properties"), m_tabs);
    auto* windowLayout = new QVBoxLayout(window);
    windowLayout->addWidget(window->AddCheck(1407, QStringLiteral("&Always Stay on Top"), &AppSettings::checkWinOnTop));
    windowLayout->addWidget(window->AddCheck(1405, QStringLiteral("&Start up Minimized"), &AppSettings::checkMinimized));
    windowLayout->addStretch(1);
    m_pages[5] = window;
}

void SettingsDialog::accept()
{
    for (SettingsPage* page : m_pages) page->Store(m_values);
    QDialog::accept();
}

} // namespace tessarin
