#include "InfoCommand.h"

#include "application/BatchOptions.h"
#include "foundation/ErrorHandler.h"
#include "foundation/MyStream.h"
#include "foundation/ShownName.h"
#include "selection/MyFileFound.h"
#include "selection/MyFinder.h"

#include <cstdio>

namespace tessarin {

namespace {

std::string Utc(std::uint32_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
#if defined(_WIN32)
    ::gmtime_s(&tm, &t);
#else
    ::gmtime_r(&t, &tm);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// A JSON string: the bytes as they are, with quotes, backslashes and
// control bytes escaped. Names are bytes, not always UTF-8; bytes above
// 0x7F pass through, as other tools that print file names in JSON do.
std::string JsonString(const std::string& text)
{
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': json += "\\\""; break;
        case '\\': json += "\\\\"; break;
        case '\n': json += "\\n"; break;
        case '\r': json += "\\r"; break;
        case '\t': json += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                json += escape;
            } else {
                json += c;
            }
        }
    }
    return json + "\"";
}

class InfoLister : public MyObject {
public:
    InfoLister(ContainerCheck& check, const std::string& shownAs, bool json, TerminalOutput& output)
        : m_check(check), m_shownAs(shownAs), m_json(json), m_output(output)
    {
    }

    void Run(const CFileFind& found) override
    {
        const MyFileFound file(found);
        const std::string shown = m_shownAs.empty() ? file.GetPathFile() : m_shownAs;
        m_ok = false;
        try {
            const ContainerInfo info = m_check.ReadHeader(file.GetPathFile());
            m_output.Line(m_output.Out(), InfoLine(shown, info, m_json));
            m_ok = true;
        } catch (const ErrorHandler& e) {
            Failed(shown, e);
        }
    }
    void Skip(const ErrorHandler& why, bool named) override
    {
        if (named)
            Failed({}, why);
    }
    std::uint32_t GetSize() const override { return 0; }
    bool ResultOk() const override { return m_ok; }
    int Errors() const { return m_errors; }

private:
    void Failed(const std::string& shown, const ErrorHandler& e)
    {
        ++m_errors;
        if (m_json)
            m_output.Line(m_output.Out(), InfoErrorLine(shown, e.GetErrCode(), e.GetErrString(), true));
        m_output.Line(m_output.Err(), "tessarin: error: " + InfoErrorLine(shown, e.GetErrCode(), e.GetErrString(), false));
    }

    ContainerCheck& m_check;
    std::string m_shownAs;
    bool m_json;
    TerminalOutput& m_output;
    bool m_ok = false;
    int m_errors = 0;
};

} // namespace

std::string InfoLine(const std::string& shownPath, const ContainerInfo& info, bool json)
{
    if (json) {
        return "{\"path\":" + JsonString(shownPath) + ",\"name\":" + JsonString(info.name) +
               ",\"format\":" + (info.legacy ? "\"legacy\"" : "\"current\"") +
               ",\"size\":" + std::to_string(info.nfSize) + ",\"stored_size\":" + std::to_string(info.length) +
               ",\"compression\":\"" + CompressionFamily::NameOf(info.Family()) + "\",\"level\":" +
               std::to_string(info.Family() == CompressionFamily::None ? 0 : info.Level()) + ",\"crc32\":\"" + [&] {
                   char hex[9];
                   std::snprintf(hex, sizeof hex, "%08x", info.crc);
                   return std::string(hex);
               }() + "\",\"time\":" + std::to_string(info.time) + ",\"written\":\"" + Utc(info.time) + "\"}";
    }
    std::string line = ShownName(shownPath) + ": name '" + ShownName(info.name) + "', " +
                       std::to_string(info.nfSize) + " bytes";
    if (info.Family() != CompressionFamily::None)
        line += " (" + std::string(CompressionFamily::NameOf(info.Family())) + " level " + std::to_string(info.Level()) + ", " +
                std::to_string(info.length) + " bytes compressed)";
    else
        line += " (not compressed)";
    line += ", written " + Utc(info.time);
    if (info.legacy)
        line += ", older format";
    return line;
}

std::string InfoErrorLine(const std::string& shownPath, int code, const std::string& message, bool json)
{
    if (json)
        return "{\"path\":" + JsonString(shownPath) + ",\"error\":" + std::to_string(code) +
               ",\"message\":" + JsonString(message) + "}";
    return (shownPath.empty() ? std::string() : ShownName(shownPath) + ": ") + MyStream::ErrorText(code, message);
}

int ListContainers(std::span<const std::string> paths, const std::string& shownAs, const AppSettings& settings,
                   const std::string& password, bool json, TerminalOutput& output)
{
    const BatchOptions options = BatchOptions::From(settings);
    ContainerCheck check(nullptr);
    options.Apply(check.Session(), password);
    try {
        check.Session().LoadLibraryA(static_cast<unsigned>(options.blockSize));
    } catch (const ErrorHandler& e) {
        output.Line(output.Err(), "tessarin: error: " + e.GetErrString());
        return -1;
    }
    InfoLister lister(check, shownAs, json, output);
    MyFinder search(&lister, options.recursive, options.sensitive);
    for (const std::string& path : paths) {
        try {
            search.ForEach(path, options.pattern);
        } catch (const ErrorHandler& e) {
            output.Line(output.Err(), "tessarin: error: " + InfoErrorLine(path, e.GetErrCode(), e.GetErrString(), false));
            return lister.Errors() + 1;
        }
    }
    output.Out().flush();
    return lister.Errors();
}

} // namespace tessarin
