#include "HelpTexts.h"

#include <QWidget>

#include <array>
#include <utility>

namespace tessarin {
namespace {

// clang-format off
constexpr std::array<std::pair<int, const char*>, 27> kTexts{{
    // Main drop window.
    {1606, "Drag'n drop file(s) for crypting and/or decrypting.\nKeep pressed [Left Click] to move this dialog.\n"
           "[Double Left Click] to zoom in/out.\n[Right Click] to open Menu..."},
    {1200, "Click here if you want to crypt your files."},
    {1201, "Click here if you want to decrypt your files."},
    {1202, "Tessarin will try to decrypt your files.\nIf they were not crypted before or your\n"
           "password were wrong, it will crypt them."},
    {1500, "Type your password (max 32 bytes: letters such as \u00FC count twice)."},
    {1501, "Re-type your password again."},
    // Settings dialog.
    {1000, "Fill \"Set log filename\" using SAVE AS Dialog box. This box will be greyed if file logging is turned off."},
    {1001, "Click over there to read log file. This box will be greyed if file logging is turned off."},
    {1100, "This combo box permits to set AES's Key Length parameter.\nKey length sets max size for the password. Even if your\n"
           "password is shorter that this value, AES engine will use\ninternally  Key Lenght value.Three choises are available:\n"
           "128, 192 and 256 bit."},
    {1101, "Block size's combo box defines the size of AES's block.\nIt means that your data will be managed using Block size\n"
           "word. Three choises are available: 128, 192 and 256 bit. "},
    {1102, "Set Operation Modes; ECB: encrypting twice with same key,\nwill result the same ciphertext blocks (CB). CBC: first xoring\n"
           "plaintext (PT) block with previous CB then encrypting result.\nCFB: encrypting previous CB and xoring resulting value with PT."},
    {1103, "Two compression algorithm can be set: gzip (faster but lower ratio) and bzip2 (slower, uses many resources but higher "
           "ratio). \".gz\" or \".bz\" will be appended to any handled file. This combo box will be greyed if 'apply compression' "
           "box is turned off."},
    {1104, "Using this widget to modify compression level factor. Lower values (fastest) means faster elaboration but worse "
           "compression ratio. Higher values (best) means great ratio but more time consuming. This combo will be greyed if "
           "'apply compression' box is off."},
    {1400, "Flag this checkbox and all filename (not extension) will be renamed using random() function."},
    {1401, "Flag this checkbox and Tessarin will handle files also in all subfolders."},
    {1402, "Flag this checkbox and pattern maching will be case sensitive."},
    {1403, "Flag this checkbox if you need to log Tessarin activity onto file system."},
    {1404, "Flag this checkbox and extention \".aes\" will be used for each file processed. This will be removed during de-crypting."},
    {1405, "Flag this checkbox and Tessarin window will always startup  minimized (iconified). Where Tessarin runs as a "
           "native Wayland program (QT_QPA_PLATFORM=wayland), the desktop decides."},
    {1406, "Flag this checkbox if you want to secure delete temporary file applying 3-pass wiping algorithm."},
    {1407, "Flag this checkbox and Tessarin window will always stay on top. Where Tessarin runs as a native Wayland "
           "program (QT_QPA_PLATFORM=wayland), the desktop decides."},
    {1408, "Flag this checkbox and Tessarin doesn't remove original file after crypting or decrypting"},
    {1409, "Flag this checkbox and Tessarin will compress your data using gzip or bzip2 algorithm before encrypting it"},
    {1411, "Flag this checkbox and Exclusion List pattern maching will be case sensitive.  This box will be greyed if 'apply "
           "compression' box is turned off."},
    {1502, "Type your preferred log filename. This box will be greyed if file logging is turned off."},
    {1503, "Use this box to insert your preferred pattern to be used during search modality."},
    {1505, "File masks and file names to encrypt without compression. For example, you may enter: \"*.rar *.zip *.jpg\" to "
           "encrypt without compression all RAR and ZIP archives and JPG images.  This list box will be greyed if 'apply "
           "compression' box is turned off."},
}};
// clang-format on

} // namespace

QString HelpTexts::ForId(int id)
{
    for (const auto& [key, text] : kTexts) {
        if (key == id) return QString::fromUtf8(text);
    }
    return {};
}

void HelpTexts::Apply(QWidget* root)
{
    const auto widgets = root->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        bool isId = false;
        const int id = widget->objectName().toInt(&isId);
        if (!isId) continue;
        const QString text = ForId(id);
        if (!text.isEmpty()) widget->setWhatsThis(text);
    }
}

} // namespace tessarin
