// The command line and the user's data: files in the way of an output,
// names that hold control bytes, and a batch told to stop by a signal.
#include "CliFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <pty.h>
#include <csignal>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessarin {
namespace {

using test::Cli;
using test::CliResult;
using Names = std::vector<std::string>;

TEST_F(Cli, AFileInTheWayIsAnErrorUnlessForced)
{
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force ? "forced" : "not forced");
        std::filesystem::remove_all(Data("f"));
        const auto plain = Make("f/x", 5000, 1);
        const auto mine = Make("f/x.aes", 300, 2);
        std::vector<std::string> args{"--defaults", "-e", "--aes-ext", "--no-log", Data("f/x")};
        if (force)
            args.insert(args.begin(), "-f");
        const CliResult r = Batch(args);
        EXPECT_EQ(r.status, force ? 0 : 1) << r.err;
        if (force) {
            EXPECT_EQ(test::ListFolder(Data("f")), Names{"x.aes"});
        } else {
            EXPECT_NE(r.err.find("ERROR(-5): Unable to create '" + Data("f/x.aes") +
                                 "': a file of that name already exists!"),
                      std::string::npos)
                << r.err;
            EXPECT_EQ(test::ReadBytes(Data("f/x")), plain);
            EXPECT_EQ(test::ReadBytes(Data("f/x.aes")), mine);
        }
    }
}

// A name may hold a tab or an escape sequence; shown, it must not break a
// line of the log or drive the terminal. (A name with a line feed cannot be
// listed at all: it is refused by name, escaped the same way.)
TEST_F(Cli, ControlBytesInNamesAreShownEscaped)
{
    Make("n/a\tb\x1b[2J", 100, 3);
    const std::string log = Data("log.txt");
    const CliResult r = Batch({"--defaults", "-e", "--aes-ext", "-v", "--log", log, Data("n")});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string out = r.out + r.err;
    EXPECT_NE(out.find("a\\tb\\x1b[2J"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    const auto bytes = test::ReadBytes(log);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("Encrypting " + Data("n/a\\tb\\x1b[2J") + " to a\\tb\\x1b[2J.aes"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
}

// Signals stop a batch as Ctrl-C does: the file under way is rolled back,
// the list goes, and the exit status tells the signal. A reader gone
// (SIGPIPE) or a file-size limit (SIGXFSZ) must not kill it mid-write.
TEST_F(Cli, ASignalStopsTheBatchAndRollsBack)
{
    const std::pair<int, int> cases[] = {{SIGTERM, 143}, {SIGHUP, 129}, {SIGUSR1, 138}, {SIGPIPE, 141}, {SIGXFSZ, 1}};
    for (const auto& [signal, exitStatus] : cases) {
        SCOPED_TRACE(strsignal(signal));
        const bool sent = signal != SIGPIPE && signal != SIGXFSZ;
        std::filesystem::remove_all(Data("s"));
        // bzip2 takes seconds on 48 MiB: time to see the work start.
        const auto plain = Make("s/big", sent ? 48u << 20 : 4u << 20, 4);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit limit{1u << 20, 1u << 20};
            int closed[2];  // the reader gone before the first line, which comes mid-file
            if (signal == SIGXFSZ)
                ::setrlimit(RLIMIT_FSIZE, &limit);
            if (signal == SIGPIPE && ::pipe(closed) == 0 && ::close(closed[0]) == 0)
                ::dup2(closed[1], STDOUT_FILENO);
            const std::string pw = PasswordFile(), folder = Data("s");
            ::execl(TESSARIN_CLI, TESSARIN_CLI, "--defaults", "--no-log", "-e", "-z", "bzip2", "--wipe",
                    "--password-file", pw.c_str(), "-r", folder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (sent) {
            // Stopped once the work is under way: a temporary file is there.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            bool started = false;
            while (!started && std::chrono::steady_clock::now() < until) {
                for (const std::string& name : test::ListFolder(Data("s")))
                    started = started || name.rfind("~aes-", 0) == 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            EXPECT_TRUE(started);
            ::kill(child, signal);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), exitStatus);
        EXPECT_EQ(test::ListFolder(Data("s")), Names{"big"});
        EXPECT_EQ(test::ReadBytes(Data("s/big")), plain);
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        ASSERT_NE(runtime, nullptr);
        for (const std::string& name : test::ListFolder(runtime))
            EXPECT_NE(name.rfind("~files.tmp", 0), 0u) << name;
    }
}

// Catches users' files taken for the program's own by their names: they are
// listed, processed and reported as any other, and no later run removes them.
TEST_F(Cli, UsersFilesNamedLikeOursAreTheirs)
{
    const std::string runtime = m_env.RuntimeDir();
    const std::vector<std::uint8_t> names = Bytes("names of files");
    test::WriteBytes(runtime + "/~files.tmpAbC123", names);
    std::filesystem::create_directories(runtime + "/~pipe-x");
    test::WriteBytes(runtime + "/~pipe-x/kept", names);
    const timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (runtime + "/~pipe-x").c_str(), old, 0), 0);
    const struct {
        const char* what;
        std::string folder, lookAlike;
        std::vector<std::string> args;
    } rows[] = {
        {"in a worked folder", "a", "~aes-1234abcd.tmp", {"-r", Data("a")}},
        {"in a worked folder, wiping", "b", "~aes-1234abcd.tmp", {"-r", "--wipe", Data("b")}},
        {"given by name", "c", "~aes-0badf00d.tmp", {Data("c/~aes-0badf00d.tmp"), Data("c/other")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = Data(row.folder + "/" + row.lookAlike);
        const auto bytes = Make(row.folder + "/" + row.lookAlike, 3000, 7);
        Make(row.folder + "/other", 100, 8);
        std::vector<std::string> args{"--defaults", "--no-log", "-e"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CliResult sealed = Batch(args);
        EXPECT_EQ(sealed.status, 0) << sealed.err;
        EXPECT_NE(sealed.out.find("Encrypting " + path + " "), std::string::npos) << sealed.out;
        // Decrypted to that name, it is left alone by the next runs there.
        for (const auto& [work, file] : {std::pair{"-d", path + ".aes"}, {"-t", Data(row.folder + "/other.aes")},
                                         {"-d", Data(row.folder + "/other.aes")}})
            EXPECT_EQ(Batch({"--defaults", "--no-log", work, file}).status, 0) << work << file;
        EXPECT_EQ(test::ReadBytes(path), bytes);
    }
    std::ostringstream sealed;  // a pipe run storing such a name (once refused for it)
    const std::string pw = PasswordFile();
    EXPECT_EQ(Run({"--defaults", "-e", "--password-file", pw, "--name", "~aes-0a1b2c3d.tmp", "-"}, &sealed).status, 0);
    EXPECT_EQ(test::ListFolder(runtime), (Names{"~files.tmpAbC123", "~pipe-x"}));
    EXPECT_EQ(test::ReadBytes(runtime + "/~files.tmpAbC123"), names);
    EXPECT_EQ(test::ReadBytes(runtime + "/~pipe-x/kept"), names);
}

// On a terminal the password is asked twice when it may make containers,
// once when it only opens them.
TEST_F(Cli, ThePasswordIsConfirmedOnlyWhenEncrypting)
{
    Make("p/a", 3000, 5);
    for (const bool decrypt : {false, true}) {
        SCOPED_TRACE(decrypt ? "decrypting" : "encrypting");
        int master = -1;
        const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string path = Data(decrypt ? "p/a.aes" : "p/a");
            ::execl(TESSARIN_CLI, TESSARIN_CLI, "--defaults", "-q", "--no-log", "--aes-ext", decrypt ? "-d" : "-e",
                    path.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::string seen;
        int answered = 0;
        char buffer[256];
        for (;;) {
            // A program that waits for ever fails the test instead.
            pollfd ready{master, POLLIN, 0};
            if (::poll(&ready, 1, 20000) <= 0) {
                ::kill(child, SIGKILL);
                ADD_FAILURE() << "no answer from tessarin: " << seen;
                break;
            }
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            seen.append(buffer, static_cast<std::size_t>(n));
            // Each prompt is answered once it has been shown.
            const auto prompts = [&] {
                int count = 0;
                for (std::size_t at = 0; (at = seen.find("assword: ", at)) != std::string::npos; ++at)
                    ++count;
                return count;
            }();
            while (answered < prompts) {
                ASSERT_EQ(::write(master, "secret\n", 7), 7);
                ++answered;
            }
        }
        ::close(master);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
        EXPECT_EQ(seen.find("Confirm password: ") != std::string::npos, !decrypt) << seen;
        EXPECT_EQ(answered, decrypt ? 1 : 2) << seen;
        EXPECT_TRUE(test::Exists(Data(decrypt ? "p/a" : "p/a.aes")));
    }
}

} // namespace
} // namespace tessarin
