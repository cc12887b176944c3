#pragma once
// Runs tessarin as main() does, on real temporary folders: the user's
// folders redirected, a password file kept apart from the data, standard
// input never a terminal, and what both streams printed kept.
#include "RunCli.h"
#include "UserEnvironment.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace tessarin::test {

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

class Cli : public ::testing::Test {
protected:
    Cli();

    static std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

    std::string Data(const std::string& name) const { return m_data / name; }
    std::string PasswordFile() const { return m_secrets / "pw"; }  // "secret"

    // Seeded bytes under the data folder, folders made as needed.
    std::vector<std::uint8_t> Make(const std::string& name, std::size_t length, std::uint32_t seed = 1);

    // RunCli with standard input on /dev/null; out goes to outStream when
    // one is given (the result's out stays empty then).
    CliResult Run(std::vector<std::string> args, std::ostream* outStream = nullptr);
    // The same with the password file.
    CliResult Batch(std::vector<std::string> args);

    // Every file under the data folder by its relative path.
    std::map<std::string, std::vector<std::uint8_t>> Snapshot() const;

    UserEnvironment m_env;
    TempFolder m_data;
    TempFolder m_secrets;
};

// std::cin reads the given text for the life of the object.
class StdinText {
public:
    explicit StdinText(const std::string& text);
    ~StdinText();
    StdinText(const StdinText&) = delete;
    StdinText& operator=(const StdinText&) = delete;

private:
    std::istringstream m_text;
    std::streambuf* m_saved;
};

} // namespace tessarin::test
