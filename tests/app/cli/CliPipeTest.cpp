// '-' as the only path, through the real program and real pipes: a stream
// becomes one container on standard output and back; nothing unverified
// reaches standard output; no spooled file outlives a run, however it ends.
#include "CliFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tessarin {
namespace {

using test::Cli;
using Octets = std::vector<std::uint8_t>;

struct Piped {
    int status = -1;  // exit status, or 128 + signal
    Octets out;
    std::string err;
};

// The spool folders of pipe runs left in the private folder.
std::vector<std::string> Spools()
{
    std::vector<std::string> left;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || !std::filesystem::exists(runtime))
        return left;
    for (const std::string& name : test::ListFolder(runtime)) {
        if (name.rfind("~pipe-", 0) == 0)
            left.push_back(std::string(runtime) + "/" + name);
    }
    return left;
}

// A text stream that compresses, as a tar of sources would.
Octets TextStream(std::size_t size, std::uint32_t seed)
{
    Octets bytes;
    bytes.reserve(size + 64);
    std::uint32_t x = seed;
    while (bytes.size() < size) {
        x = x * 1664525u + 1013904223u;
        const std::string line = "entry " + std::to_string(x >> 20) + " value " + std::to_string((x >> 8) & 0xFFF) +
                                 (x & 1 ? " ok\n" : " pending review\n");
        bytes.insert(bytes.end(), line.begin(), line.end());
    }
    bytes.resize(size);
    return bytes;
}

class CliPipe : public Cli {
protected:
    CliPipe() { m_previous = std::signal(SIGPIPE, SIG_IGN); }
    ~CliPipe() override { std::signal(SIGPIPE, m_previous); }

    // Runs tessarin with args, input on its standard input through a pipe,
    // and collects both outputs. password: given on descriptor 3 when not
    // empty. during: called with the child's id while it runs.
    Piped Run(const std::vector<std::string>& args, const Octets& input, const std::string& fdPassword = {},
              const std::function<void(pid_t)>& during = {}, bool closeInput = true)
    {
        int in[2], out[2], err[2], pw[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(pw, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::dup2(pw[0], 3);
            std::vector<char*> argv{const_cast<char*>(TESSARIN_CLI)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(TESSARIN_CLI, argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        ::close(pw[0]);
        if (!fdPassword.empty())
            (void)!::write(pw[1], fdPassword.data(), fdPassword.size());
        ::close(pw[1]);
        std::thread writer([&] {
            for (std::size_t done = 0; done < input.size();) {
                const ssize_t n = ::write(in[1], input.data() + done, std::min<std::size_t>(input.size() - done, 1 << 16));
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            if (closeInput)
                ::close(in[1]);
        });
        Piped result;
        std::thread watcher;
        if (during)
            watcher = std::thread([&] { during(child); });
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        int open = 2;
        std::vector<char> buffer(1 << 16);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(240);
        while (open > 0 && std::chrono::steady_clock::now() < until) {
            if (::poll(fds, 2, 1000) < 0)
                break;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0)
                    continue;
                const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else if (i == 0) {
                    result.out.insert(result.out.end(), buffer.begin(), buffer.begin() + n);
                } else {
                    result.err.append(buffer.data(), static_cast<std::size_t>(n));
                }
            }
        }
        if (open > 0)
            ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        // The child is gone, so the writer's last write returns; the input
        // is closed only after it, never under a write in progress.
        writer.join();
        if (!closeInput)
            ::close(in[1]);
        if (watcher.joinable())
            watcher.join();
        for (const pollfd& f : fds) {
            if (f.fd >= 0)
                ::close(f.fd);
        }
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return result;
    }

    std::vector<std::string> Encrypting(const std::string& family, const std::string& name = {})
    {
        std::vector<std::string> args{"--defaults", "-q", "--no-log", "-e", "-z", family, "--password-file",
                                      PasswordFile()};
        if (!name.empty())
            args.insert(args.end(), {"--name", name});
        args.push_back("-");
        return args;
    }
    static std::vector<std::string> Decrypting() { return {"--defaults", "-q", "--no-log", "-d", "--password-fd", "3", "-"}; }

private:
    void (*m_previous)(int) = SIG_DFL;
};

// 50 MiB each way, compressed with each family: what comes out of the
// container is the stream that went in, and the container names it.
TEST_F(CliPipe, FiftyMebibytesRoundTripWithGzipAndBzip2)
{
    const Octets stream = TextStream(50u << 20, 7);
    for (const char* family : {"gzip", "bzip2"}) {
        SCOPED_TRACE(family);
        const Piped sealed = Run(Encrypting(family, "dir.tar"), stream);
        ASSERT_EQ(sealed.status, 0) << sealed.err;
        EXPECT_EQ(sealed.err, "");
        EXPECT_GT(sealed.out.size(), 1088u);
        EXPECT_LT(sealed.out.size(), stream.size() / 2);  // compressed before encryption
        EXPECT_TRUE(Spools().empty());

        const std::string kept = Data(std::string("sealed-") + family);
        test::WriteBytes(kept, sealed.out);
        const test::CliResult info = Batch({"--defaults", "--info", "--json", kept});
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find(std::string("\"name\":\"dir.tar.") + (family[0] == 'g' ? "gz" : "bz") +
                                "\",\"format\":\"current\",\"size\":" + std::to_string(stream.size())),
                  std::string::npos)
            << info.out;

        const Piped opened = Run(Decrypting(), sealed.out, "secret\n");
        ASSERT_EQ(opened.status, 0) << opened.err;
        EXPECT_EQ(opened.err, "");
        EXPECT_TRUE(opened.out == stream);
        EXPECT_TRUE(Spools().empty());
    }
}

// A container made from a pipe is a container like any other, and one made
// from a file opens through a pipe: every family, the name stored as given.
TEST_F(CliPipe, PipeAndFileContainersAreTheSame)
{
    const Octets stream = TextStream(300000, 3);
    for (const char* family : {"none", "gzip", "bzip2"}) {
        SCOPED_TRACE(family);
        std::filesystem::remove_all(Data("x"));
        std::filesystem::create_directories(Data("x"));
        const Piped sealed = Run(Encrypting(family), stream);
        ASSERT_EQ(sealed.status, 0) << sealed.err;
        test::WriteBytes(Data("x/c.aes"), sealed.out);
        const test::CliResult opened = Batch({"--defaults", "-q", "--no-log", "-d", "--no-aes-ext", Data("x/c.aes")});
        ASSERT_EQ(opened.status, 0) << opened.err;
        EXPECT_TRUE(test::ReadBytes(Data("x/stdin")) == stream);  // the default stored name

        test::WriteBytes(Data("x/plain.txt"), stream);
        ASSERT_EQ(Batch({"--defaults", "-q", "--no-log", "-e", "--aes-ext", "-z", family, Data("x/plain.txt")}).status,
                  0);
        const std::string container =
            Data(std::string("x/plain.txt") + (family[0] == 'g' ? ".gz" : family[0] == 'b' ? ".bz" : "") + ".aes");
        const Piped back = Run(Decrypting(), test::ReadBytes(container), "secret\n");
        ASSERT_EQ(back.status, 0) << back.err;
        EXPECT_TRUE(back.out == stream);
    }
    EXPECT_TRUE(Spools().empty());
}

// Whatever is wrong with the container on standard input, nothing of it
// reaches standard output, the status is 1, the error names its code, and
// the spool is gone.
TEST_F(CliPipe, ADamagedContainerPrintsNothing)
{
    const Octets stream = TextStream(400000, 5);
    const Piped plain = Run(Encrypting("none"), stream);
    const Piped packed = Run(Encrypting("gzip"), stream);
    ASSERT_EQ(plain.status, 0);
    ASSERT_EQ(packed.status, 0);
    const auto flipped = [](Octets b, std::size_t at) {
        b.at(at) ^= 0x01;
        return b;
    };
    const auto cut = [](Octets b) {
        b.resize(b.size() - 100);
        return b;
    };
    struct Case {
        const char* what;
        Octets input;
        std::string password;
        int code;
    };
    const Case cases[] = {
        {"flipped byte in the data", flipped(plain.out, 200000), "secret\n", -23},
        {"flipped byte in compressed data", flipped(packed.out, packed.out.size() / 2), "secret\n", -23},
        {"flipped last byte", flipped(plain.out, plain.out.size() - 1), "secret\n", -23},
        {"cut short", cut(plain.out), "secret\n", -23},
        {"cut compressed", cut(packed.out), "secret\n", -23},
        {"wrong password", plain.out, "Secret\n", -20},
        {"not a container", stream, "secret\n", -20},
        {"empty input", {}, "secret\n", -20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Piped r = Run(Decrypting(), c.input, c.password);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out.size() << " bytes on standard output";
        EXPECT_NE(r.err.find("ERROR(" + std::to_string(c.code) + "): "), std::string::npos) << r.err;
        EXPECT_TRUE(Spools().empty());
    }
}

// Ctrl-C while standard input is being spooled, and while the spooled
// input is being encrypted: the run ends with 130, nothing on standard
// output, and no spool left.
TEST_F(CliPipe, NoSpoolOutlivesCtrlC)
{
    struct Case {
        const char* when;
        std::size_t size;
        bool closeInput;
        // Whether the run has got that far, from what its spool holds.
        std::function<bool(const std::string& spool)> reached;
    };
    const Case cases[] = {
        {"spooling", 4u << 20, false,
         [](const std::string& spool) {
             for (const std::string& name : test::ListFolder(spool)) {
                 if (std::filesystem::file_size(spool + "/" + name) >= (4u << 20))
                     return true;
             }
             return false;
         }},
        {"encrypting", 48u << 20, true,
         [](const std::string& spool) {
             for (const std::string& name : test::ListFolder(spool)) {
                 if (name.rfind("~aes-", 0) == 0)
                     return true;
             }
             return false;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        const Octets input = test::SeededBytes(c.size, 9);
        bool interrupted = false;
        const Piped r = Run(
            Encrypting("bzip2"), input, {},
            [&](pid_t child) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                while (std::chrono::steady_clock::now() < until) {
                    const auto spools = Spools();
                    if (spools.size() == 1 && c.reached(spools.front())) {
                        ::kill(child, SIGINT);
                        interrupted = true;
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
                ::kill(child, SIGINT);
            },
            c.closeInput);
        EXPECT_TRUE(interrupted);
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_TRUE(r.out.empty());
        EXPECT_TRUE(Spools().empty());
    }
}

// A container is never written to a terminal; nothing is read first.
TEST_F(CliPipe, NoContainerOnATerminal)
{
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        const std::string pw = PasswordFile();
        ::execl(TESSARIN_CLI, TESSARIN_CLI, "--defaults", "--no-log", "-e", "--password-file", pw.c_str(), "-",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string seen;
    char buffer[256];
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 20000) <= 0)
            break;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(seen.find("tessarin: error: refusing to write a container to a terminal"), std::string::npos) << seen;
    EXPECT_TRUE(Spools().empty());
}

// A run that is killed cannot clean up: the next pipe run removes its
// spool, recorded in the killed run's journal, whose lock is free.
TEST_F(CliPipe, TheNextRunRemovesTheSpoolOfAKilledOne)
{
    const Octets input = test::SeededBytes(1u << 20, 4);
    std::string left;
    const Piped killed = Run(
        Encrypting("none"), input, {},
        [&](pid_t child) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (std::chrono::steady_clock::now() < until) {
                const auto spools = Spools();
                if (spools.size() == 1 && !test::ListFolder(spools.front()).empty()) {
                    left = spools.front();
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            ::kill(child, SIGKILL);
        },
        false);
    EXPECT_EQ(killed.status, 128 + SIGKILL);
    ASSERT_FALSE(left.empty());
    ASSERT_EQ(Spools(), std::vector<std::string>{left});
    // Made a while ago, as a left folder is.
    const timespec old[2] = {{std::time(nullptr) - 60, 0}, {std::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, left.c_str(), old, 0), 0);

    const Octets stream = TextStream(1000, 1);
    const Piped next = Run(Encrypting("none"), stream);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(Spools().empty());
}

// -t and --info read a container from standard input too, whatever the
// pattern says (the spooled input has a name of its own).
TEST_F(CliPipe, CheckAndInfoReadStandardInput)
{
    const Octets stream = TextStream(200000, 8);
    const Piped sealed = Run(Encrypting("bzip2", "notes.txt"), stream);
    ASSERT_EQ(sealed.status, 0) << sealed.err;
    const std::vector<std::string> common{"--defaults", "--no-log", "-p", "*.doc", "--password-fd", "3"};
    const auto with = [&](std::vector<std::string> args) {
        args.insert(args.begin(), common.begin(), common.end());
        args.push_back("-");
        return args;
    };
    const Piped info = Run(with({"--info"}), sealed.out, "secret\n");
    EXPECT_EQ(info.status, 0) << info.err;
    const std::string line(info.out.begin(), info.out.end());
    EXPECT_EQ(line.rfind("-: name 'notes.txt.bz', " + std::to_string(stream.size()) + " bytes (bzip2 level 5, ", 0), 0u)
        << line;
    const Piped good = Run(with({"-t"}), sealed.out, "secret\n");
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_NE(good.err.find("[OK]"), std::string::npos) << good.err;
    EXPECT_TRUE(good.out.empty());
    Octets damaged = sealed.out;
    damaged[damaged.size() / 2] ^= 0x40;
    const Piped bad = Run(with({"-t"}), damaged, "secret\n");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("ERROR(-23): CRC32 mismatch!"), std::string::npos) << bad.err;
    EXPECT_TRUE(Spools().empty());
}

// Pipe mode refuses what cannot work before it reads anything.
TEST_F(CliPipe, UsageErrorsOfPipeMode)
{
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--defaults", "-a", "-"}, "tessarin: error: '-' needs a direction\n"},
        {{"--defaults", "-e", "-"}, "tessarin: error: no password given\n"},
        // A stored name like a temporary file's is no longer refused.
        {{"--defaults", "-d", "--password-fd", "9", "-"},
         "tessarin: error: cannot read the password from descriptor 9: Bad file descriptor\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        const test::CliResult r = Cli::Run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, c.error.size()), c.error);
        EXPECT_TRUE(Spools().empty());
    }
}

} // namespace
} // namespace tessarin
