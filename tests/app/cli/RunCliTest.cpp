#include "BatchHarness.h"
#include "CliFixture.h"
#include "application/AppSettings.h"
#include "foundation/MyCLibInfo.h"
#include "platform/Module.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace tessarin {
namespace {

using test::Cli;
using test::CliResult;
using Names = std::vector<std::string>;

TEST_F(Cli, ExitStatusTable)
{
    struct Case {
        const char* what;
        std::vector<std::string> args;  // "@" stands for the data folder
        int status;
        std::string err;  // a line the error output must hold
    };
    const Case cases[] = {
        {"all files processed", {"--password-file", "@pw", "-e", "--no-log", "@t"}, 0, ""},
        {"some files failed", {"--password-file", "@pw", "-d", "--no-log", "@t"}, 1, "ERROR(-20): Not AES file or wrong passwd!"},
        {"a usage error", {"--password-file", "@pw", "-k", "100", "@t"}, 2, "tessarin: error: invalid value '100' for --key-bits\n"},
        {"a path that names nothing", {"--password-file", "@pw", "-e", "--no-log", "@nothing", "@t"}, 1,
         "ERROR(-5): Unable to open file '@nothing' (No such file or directory)\n"},
        {"an empty password", {"--password-file", "@empty", "@t"}, 2, "tessarin: error: the password is empty\n"},
        {"a password too long", {"--password-file", "@long", "@t"}, 2,
         "tessarin: error: the password is longer than 32 characters\ntessarin: hint: "},
        {"a password file that cannot be read", {"--password-file", "@missing", "@t"}, 2,
         "tessarin: error: cannot read the password file '@missing': No such file or directory\n"},
        {"no password and no terminal", {"@t"}, 2,
         "tessarin: error: no password given\ntessarin: hint: use --password-file FILE or --password-stdin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder secrets;
        test::WriteBytes(secrets / "pw", Bytes("secret\r\nsecond line\n"));
        test::WriteBytes(secrets / "empty", Bytes("\nsecret\n"));
        test::WriteBytes(secrets / "long", Bytes(std::string(33, 'p')));
        test::TempFolder data;
        std::filesystem::create_directories(data / "t");
        const auto plain = test::SeededBytes(5000, 3);
        test::WriteBytes(data / "t/f", plain);
        const auto place = [&](std::string text) {
            for (const char* name : {"pw", "empty", "long", "missing"}) {
                if (text == std::string("@") + name)
                    return secrets / name;
            }
            if (text.rfind("@", 0) == 0)
                return data / text.substr(1);
            return text;
        };
        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(place(arg));
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        std::string wanted = c.err;
        for (const char* name : {"@missing", "@nothing"}) {
            if (const auto at = wanted.find(name); at != std::string::npos)
                wanted.replace(at, std::strlen(name), place(name));
        }
        EXPECT_NE(r.err.find(wanted), std::string::npos) << r.err;
        if (c.status == 2) {
            EXPECT_EQ(test::ListFolder(data / "t"), Names{"f"});
            EXPECT_EQ(test::ReadBytes(data / "t/f"), plain);
            EXPECT_EQ(r.out, "");
        }
    }
}

TEST_F(Cli, StatusReportAndStepsOnStandardOutput)
{
    Make("t/a", 2048, 1);
    Make("t/b", 1024, 2);
    const CliResult r = Batch({"-e", "--no-log", Data("t")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Encrypting " + Data("t/a") + " to a.aes [OK]\n"), std::string::npos) << r.out;
    const auto bytes = std::filesystem::file_size(Data("t/a.aes")) + std::filesystem::file_size(Data("t/b.aes"));
    const std::string report = "2 file(s) processed (" + std::to_string(bytes) +
                               " bytes), 0 error(s)\nOriginal size = 3072 bytes, Ratio = " +
                               std::to_string(std::llround(100.0 * static_cast<double>(bytes) / 3072.0)) + "%\nTime = ";
    EXPECT_NE(r.out.find(report), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Starting..."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_EQ(r.out.find("Deleting"), std::string::npos);  // a detail

    Make("t/c", 10, 3);
    const CliResult verbose = Batch({"-v", "-e", "--no-log", Data("t/c")});
    EXPECT_NE(verbose.out.find("Deleting " + Data("t/c") + " [OK]\n"), std::string::npos) << verbose.out;

    Make("t/d", 10, 4);
    const CliResult quiet = Batch({"-q", "-e", "--no-log", Data("t/d")});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
}

TEST_F(Cli, WrongPasswordLeavesTheContainers)
{
    Make("w/a", 3000, 1);
    ASSERT_EQ(Batch({"-e", "--no-log", Data("w")}).status, 0);
    const auto encrypted = Snapshot();
    test::WriteBytes(m_secrets / "wrong", Bytes("Secret\n"));
    const CliResult r = Run({"--password-file", m_secrets / "wrong", "-d", "--no-log", Data("w")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Decrypting " + Data("w/a.aes") + " ERROR(-20): Not AES file or wrong passwd!\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("0 file(s) processed (0 bytes), 1 error(s)\n"), std::string::npos) << r.out;
    EXPECT_EQ(Snapshot(), encrypted);
}

TEST_F(Cli, PasswordFromStandardInput)
{
    const auto plain = Make("s/a", 3000, 1);
    {
        const test::StdinText input("from stdin\nignored\n");
        std::ostringstream out, err;
        const std::vector<std::string> args = {"--password-stdin", "-e", "--no-log", Data("s")};
        const std::vector<std::string_view> views(args.begin(), args.end());
        ASSERT_EQ(RunCli(views, out, err), 0) << err.str();
    }
    test::WriteBytes(m_secrets / "same", Bytes("from stdin"));  // no line end at all
    EXPECT_EQ(Run({"--password-file", m_secrets / "same", "-d", "--no-log", Data("s")}).status, 0);
    EXPECT_EQ(test::ReadBytes(Data("s/a")), plain);

    const test::StdinText empty("");
    std::ostringstream out, err;
    const std::vector<std::string> args = {"--password-stdin", "-e", Data("s")};
    const std::vector<std::string_view> views(args.begin(), args.end());
    EXPECT_EQ(RunCli(views, out, err), 2);
    EXPECT_EQ(err.str(), "tessarin: error: the password is empty\n");
}

TEST_F(Cli, SavedSettingsAreTheDefaultsUnlessIgnoredAndAreNeverWritten)
{
    AppSettings saved;
    saved.checkChangeExt = 0;  // encrypted files keep their names
    saved.checkLogging = 0;
    saved.editPattern = "*.txt";
    ASSERT_TRUE(saved.SaveSettings({1, 2, 3, 4}));
    const auto store = test::ReadBytes(m_env.SettingsFile().toStdString());
    Make("s/a.txt", 100, 1);
    Make("s/b.dat", 100, 2);

    const auto plain = test::ReadBytes(Data("s/a.txt"));
    Make("d/a.txt", 100, 1);
    Make("d/b.dat", 100, 2);

    ASSERT_EQ(Batch({"-e", Data("s")}).status, 0);
    EXPECT_EQ(test::ListFolder(Data("s")), (Names{"a.txt", "b.dat"}));
    EXPECT_NE(test::ReadBytes(Data("s/a.txt")), plain);  // a container under its own name
    EXPECT_FALSE(test::Exists(m_env.StateHome() + "/tessarin/log.txt"));

    ASSERT_EQ(Batch({"-e", "--defaults", Data("d")}).status, 0);
    EXPECT_EQ(test::ListFolder(Data("d")), (Names{"a.txt.aes", "b.dat.aes"}));
    EXPECT_TRUE(test::Exists(m_env.StateHome() + "/tessarin/log.txt"));  // the default log, its folder made

    ASSERT_EQ(Batch({"-d", Data("s")}).status, 0);
    EXPECT_EQ(test::ReadBytes(Data("s/a.txt")), plain);
    EXPECT_EQ(test::ReadBytes(m_env.SettingsFile().toStdString()), store);
}

TEST_F(Cli, WithoutSavedSettingsNothingIsStored)
{
    Make("n/a", 100, 1);
    ASSERT_EQ(Batch({"-e", "--no-log", Data("n")}).status, 0);
    EXPECT_FALSE(QFile::exists(m_env.SettingsFile()));
}

TEST_F(Cli, LogOptionWritesTheLogThere)
{
    Make("l/a", 100, 1);
    const std::string log = m_secrets / "batch.log";
    const CliResult r = Batch({"-e", "-v", "--log", log, Data("l")});
    ASSERT_EQ(r.status, 0);
    const auto bytes = test::ReadBytes(log);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("; -- LOG FILE --\n", 0), 0u);
    EXPECT_NE(text.find("Encrypting " + Data("l/a") + " to a.aes [OK]\n"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    // Told where it is when asked to say more.
    EXPECT_NE(r.out.find("Log: " + log + "\n"), std::string::npos) << r.out;
}

TEST_F(Cli, MissingLibraryEndsTheBatch)
{
    Make("m/a", 100, 1);
    const test::ModuleFolder modules;
    modules.Remove("zlib.dll");
    const auto before = Snapshot();
    const CliResult r = Batch({"-e", "--no-log", Data("m")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tessarin: error: Unable to load 'libz.so.1'. Unable to crypt/decrypt data(s)!\n");
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Cli, FolderWithoutRecursionGivesAHint)
{
    Make("h/a", 100, 1);
    const CliResult r = Batch({"-e", "--no-recursive", "--no-log", Data("h")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("0 file(s) processed (0 bytes), 0 error(s)"), std::string::npos);
    EXPECT_EQ(r.err, "tessarin: hint: '" + Data("h") +
                         "' gave no file: folders are searched only with --recursive; 'folder/*' gives the files of a folder\n");
    EXPECT_EQ(Batch({"-e", "--no-recursive", "--no-log", Data("h") + "/*"}).status, 0);
    EXPECT_TRUE(test::Exists(Data("h/a.aes")));
}

// Presses Ctrl-C once the first file is reported done.
class CtrlCAfterFirstFile : public std::stringbuf {
protected:
    int sync() override
    {
        if (!m_pressed && str().find("[OK]") != std::string::npos) {
            m_pressed = true;
            std::raise(SIGINT);
        }
        return std::stringbuf::sync();
    }

private:
    bool m_pressed = false;
};

TEST_F(Cli, CtrlCStopsTheBatchAndRollsBackTheCurrentFile)
{
    // The first file in a folder of its own: its "[OK]" comes once its
    // output is in place, which is when the run moves on to the next folder.
    Make("c/1", 400000, 1);
    const auto second = Make("c/x/2", 400000, 2);
    const auto third = Make("c/x/3", 400000, 3);
    CtrlCAfterFirstFile buffer;
    std::ostream out(&buffer);
    // One file at a time: with more, the later files may be done before the
    // first one's "[OK]" comes, and the break finds nothing left to stop.
    const CliResult r = Run(
        {"--password-file", PasswordFile(), "-e", "--no-log", "-j", "1", Data("c/1"), Data("c/x/2"), Data("c/x/3")}, &out);

    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(test::ListFolder(Data("c")), (Names{"1.aes", "x"}));
    EXPECT_EQ(test::ListFolder(Data("c/x")), (Names{"2", "3"}));
    EXPECT_EQ(test::ReadBytes(Data("c/x/2")), second);
    EXPECT_EQ(test::ReadBytes(Data("c/x/3")), third);
    EXPECT_NE(r.err.find("ERROR(-28): Break by user!\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("tessarin: error: Break by user!\n"), std::string::npos) << r.err;
    // The status report still comes, with the file finished before.
    EXPECT_NE(buffer.str().find("1 file(s) processed (" + std::to_string(std::filesystem::file_size(Data("c/1.aes"))) +
                                " bytes), 0 error(s)\n"),
              std::string::npos)
        << buffer.str();
}

TEST_F(Cli, VersionAndHelp)
{
    // The full report for whoever asks for more.
    const CliResult version = Run({"-v", "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("Loading 'libengine.so'\nVersion " TESSARIN_VERSION " (", 0), 0u) << version.out;
    for (const char* module : {"aes16.dll", "aes24.dll", "aes32.dll", "zlib.dll", "bzip2.dll"})
        EXPECT_NE(version.out.find("Loading '" + platform::Module::ShownNameFor(module) + "'\n"), std::string::npos)
            << module;
    EXPECT_EQ(version.out.find('\r'), std::string::npos);
    EXPECT_EQ(version.err, "");

    // Otherwise one line per component, each with its version.
    const CliResult lines = Run({"--version"});
    EXPECT_EQ(lines.status, 0);
    std::vector<std::string> heads;
    std::istringstream text(lines.out);
    for (std::string line; std::getline(text, line);)
        heads.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ(heads, (std::vector<std::string>{"tessarin", "libengine.so", "libaes16.so", "libaes24.so", "libaes32.so",
                                               "libz.so.1", "libbz2.so.1.0"}))
        << lines.out;
    EXPECT_EQ(lines.out.rfind("tessarin " TESSARIN_VERSION "\nlibengine.so " TESSARIN_VERSION " (", 0), 0u)
        << lines.out;
    EXPECT_EQ(lines.out.find("()"), std::string::npos) << lines.out;

    // The program carries its own version block, readable without running it.
    const MyCLibInfo program(platform::Module::ProgramFolder() + "/tessarin");
    EXPECT_EQ(program.GetResource("FileDescription"), "Tessarin command-line companion");
    EXPECT_EQ(program.GetResource("FileVersion"), TESSARIN_VERSION);

    const CliResult help = Run({"-h", "--no-such-thing-after-help"});
    EXPECT_EQ(help.status, 2);  // an unknown option is an error even beside --help
    const CliResult plain = Run({"--help"});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out.rfind("Usage: tessarin [OPTIONS] PATH...\n", 0), 0u);
    EXPECT_EQ(plain.err, "");
}

} // namespace
} // namespace tessarin
