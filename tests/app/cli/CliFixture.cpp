#include "CliFixture.h"

#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string_view>
#include <unistd.h>

namespace tessarin::test {

namespace {

// Standard input reads from /dev/null for the life of the object, so that a
// test run from a terminal never waits for a password typed by hand.
class NoTerminalInput {
public:
    NoTerminalInput() : m_saved(::dup(STDIN_FILENO))
    {
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
    ~NoTerminalInput()
    {
        ::dup2(m_saved, STDIN_FILENO);
        ::close(m_saved);
    }
    NoTerminalInput(const NoTerminalInput&) = delete;
    NoTerminalInput& operator=(const NoTerminalInput&) = delete;

private:
    int m_saved;
};

} // namespace

Cli::Cli()
{
    WriteBytes(m_secrets / "pw", Bytes("secret\n"));
}

std::vector<std::uint8_t> Cli::Make(const std::string& name, std::size_t length, std::uint32_t seed)
{
    const std::string path = Data(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto bytes = SeededBytes(length, seed);
    WriteBytes(path, bytes);
    return bytes;
}

CliResult Cli::Run(std::vector<std::string> args, std::ostream* outStream)
{
    const NoTerminalInput noTerminal;
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream out, err;
    const int status = RunCli(views, outStream ? *outStream : out, err);
    return {status, out.str(), err.str()};
}

CliResult Cli::Batch(std::vector<std::string> args)
{
    args.insert(args.begin(), {"--password-file", PasswordFile()});
    return Run(std::move(args));
}

std::map<std::string, std::vector<std::uint8_t>> Cli::Snapshot() const
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_data.Path())) {
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), m_data.Path()).string()] = ReadBytes(entry.path());
    }
    return files;
}

StdinText::StdinText(const std::string& text) : m_text(text), m_saved(std::cin.rdbuf(m_text.rdbuf())) {}

StdinText::~StdinText()
{
    std::cin.rdbuf(m_saved);
    std::cin.clear();
}

} // namespace tessarin::test
