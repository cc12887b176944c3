#include "application/VersionReport.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyCLibInfo.h"

namespace tessarin {

std::string VersionReport::Paragraph(const std::string& module)
{
    MyCLibInfo info(module);
    const std::string version = info.GetResource("FileVersion");
    const std::string build = info.GetResource("PrivateBuild");
    const std::string description = info.GetResource("FileDescription");
    const std::string copyright = info.GetResource("LegalCopyright");
    return "Loading '" + module + "'\r\nVersion " + version + " (" + build + ")\r\n'" + description + "'\r\n" +
           copyright + "\r\n\r\n";
}

std::string VersionReport::ErrorParagraph(const ErrorHandler& error)
{
    return "ERROR(" + std::to_string(error.GetErrCode()) + "): " + error.GetErrString() + "\r\n\r\n";
}

std::string VersionReport::Build()
{
    std::string report;
    try {
        report += Paragraph("engine.dll");
        // The engine names the cipher family it was built for; the earlier
        // single-module family has a paragraph of its own.
        const std::string family = MyCLibInfo("engine.dll").GetResource("SpecialBuild");
        if (family == "vandle.dll") {
            report += Paragraph("vandle.dll");
        } else {
            for (const char* module : {"aes16.dll", "aes24.dll"}) {
                try {
                    report += Paragraph(module);
                } catch (const ErrorHandler& e) {
                    report += ErrorParagraph(e);
                }
            }
            report += Paragraph("aes32.dll");
        }
        report += Paragraph("zlib.dll");
        report += Paragraph("bzip2.dll");
    } catch (const ErrorHandler& e) {
        report += ErrorParagraph(e);
    }
    return report;
}

} // namespace tessarin
