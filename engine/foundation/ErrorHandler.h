#pragma once
#include "EngineApi.h"

#include <exception>
#include <string>

namespace tessarin {

// Codes of the failures the engine raises. Positive codes are operating
// system error numbers. Codes are not unique: the number tells the kind of
// failure, the message tells the place.
namespace errc {
inline constexpr int ReadFailed = -1;
inline constexpr int WriteFailed = -2;
inline constexpr int CopyFailed = -3;
inline constexpr int DeleteFailed = -4;
inline constexpr int OpenFailed = -5;
inline constexpr int StreamOpenFailed = -6;
inline constexpr int AlreadyOpened = -7;
inline constexpr int NotAesFile = -20;
inline constexpr int EmptyPassword = -21;
inline constexpr int KeyTooLong = -22;
inline constexpr int CrcMismatch = -23;
inline constexpr int FileTooLarge = -24;
inline constexpr int AlreadyEncrypted = -25;
inline constexpr int UnsafeStoredName = -26;
inline constexpr int PathTooLong = -27;
inline constexpr int BreakByUser = -28;
inline constexpr int LibraryFunctions = -29;
inline constexpr int LibraryNotFound = -30;
inline constexpr int ResourceInfo = -31;
inline constexpr int VersionLength = -32;
inline constexpr int VersionTranslation = -33;
inline constexpr int ResourceEntry = -34;
inline constexpr int UnknownFilter = -35;
inline constexpr int SourceChanged = -36;
inline constexpr int Bzip2Internal = -40;
} // namespace errc

// The one exception type of the system: a code, a message naming the place of
// the failure and, where the system knows it, the reason (an errno text, "data
// follows the end of the compressed stream"). The message is the fixed text
// users and scripts know; the reason is shown beside it on a line of its own.
// Thrown by value, caught by reference.
class ENGINE_API ErrorHandler : public std::exception {
public:
    explicit ErrorHandler(int code) : m_code(code) {}
    ErrorHandler(int code, const char* message) : m_code(code), m_message(message ? message : "") {}
    ErrorHandler(int code, std::string message) : m_code(code), m_message(std::move(message)) {}
    ErrorHandler(int code, std::string message, std::string reason)
        : m_code(code), m_message(std::move(message)), m_reason(std::move(reason)) {}

    int GetErrCode() const noexcept { return m_code; }
    const std::string& GetErrString() const noexcept { return m_message; }
    const std::string& GetReason() const noexcept { return m_reason; }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    int m_code = 0;
    std::string m_message;
    std::string m_reason;
};

} // namespace tessarin
