#include "application/VersionReport.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyStream.h"
#include "foundation/MyCLibInfo.h"
#include "platform/Module.h"

#include <vector>

namespace tessarin {

std::string VersionReport::Paragraph(const std::string& module)
{
    MyCLibInfo info(module);
    const std::string version = info.GetResource("FileVersion");
    const std::string build = info.GetResource("PrivateBuild");
    const std::string description = info.GetResource("FileDescription");
    const std::string copyright = info.GetResource("LegalCopyright");
    // Libraries of the system have no build of ours to name: their pair of
    // parentheses stays empty, as users of this box know it.
    return "Loading '" + platform::Module::ShownNameFor(module) + "'\r\nVersion " + version + " (" + build +
           ")\r\n'" + description + "'\r\n" + copyright + "\r\n\r\n";
}

std::string VersionReport::ErrorParagraph(const ErrorHandler& error)
{
    return MyStream::ErrorText(error) + "\r\n\r\n";
}

std::string VersionReport::Lines(const std::string& program, const std::string& version)
{
    std::string lines = program + " " + version + "\n";
    std::vector<std::string> modules = {"engine.dll"};
    try {
        if (MyCLibInfo("engine.dll").GetResource("SpecialBuild") == "vandle.dll")
            modules.push_back("vandle.dll");
        else
            modules.insert(modules.end(), {"aes16.dll", "aes24.dll", "aes32.dll"});
    } catch (const ErrorHandler&) {
        modules.insert(modules.end(), {"aes16.dll", "aes24.dll", "aes32.dll"});
    }
    modules.insert(modules.end(), {"zlib.dll", "bzip2.dll"});
    for (const std::string& module : modules) {
        const std::string shown = platform::Module::ShownNameFor(module);
        try {
            MyCLibInfo info(module);
            std::string build;
            try {
                build = info.GetResource("PrivateBuild");
            } catch (const ErrorHandler&) {
                // Optional here: the version alone says enough.
            }
            lines += shown + " " + info.GetResource("FileVersion") + (build.empty() ? "" : " (" + build + ")") + "\n";
        } catch (const ErrorHandler& e) {
            lines += shown + ": ERROR(" + std::to_string(e.GetErrCode()) + "): " + e.GetErrString() + "\n";
        }
    }
    return lines;
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
