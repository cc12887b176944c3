// Outputs are written to private temporary files; the finished file must
// carry the permission bits of the file it was made from, in both
// directions, through compression and whatever its name. The modes are set
// with chmod and the umask is fixed, so the expectations hold for any user.
#include "engine/processing/PipelineHarness.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;

unsigned ModeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

void SetMode(const std::string& path, unsigned mode)
{
    ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(mode)), 0) << path;
}

std::string Octal(unsigned mode)
{
    std::string text;
    for (int shift = 9; shift >= 0; shift -= 3)
        text += static_cast<char>('0' + ((mode >> shift) & 7));
    return text;
}

// Sets the process umask for the life of the object.
class Umask {
public:
    explicit Umask(mode_t mask) : m_saved(::umask(mask)) {}
    ~Umask() { ::umask(m_saved); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t m_saved;
};

// Most modes differ from the temporary files' 0600, from the test folder's
// 0700 and from what a new file gets under a umask of 0 or 077; most
// containers are given other bits than their original had, so that the
// decrypted file shows which of the two lent it its bits.
struct Modes {
    unsigned plain;      // of the original
    unsigned container;  // given to the container before decrypting it
};
const Modes ModePairs[] = {
    {0640, 0640}, {0600, 0644}, {0755, 0751}, {0444, 0440}, {0664, 0604}, {0604, 0600},
};

struct PermissionCase {
    const char* what;
    PipelineOptions options;
};

void PrintTo(const PermissionCase& c, std::ostream* os)
{
    *os << c.what;
}

PipelineOptions With(bool mangling, bool changeExt, int family)
{
    PipelineOptions o;
    o.mangling = mangling;
    o.changeExtension = changeExt;
    o.family = family;
    return o;
}

class PipelinePermission : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(PipelinePermission, OutputsTakeTheBitsOfTheFileTheyWereMadeFrom)
{
    const PermissionCase& c = GetParam();
    for (const mode_t mask : {mode_t{0}, mode_t{077}}) {
        const Umask umask(mask);
        for (const Modes& m : ModePairs) {
            SCOPED_TRACE("umask " + Octal(mask) + ", original " + Octal(m.plain) + ", container " +
                         Octal(m.container));
            TempFolder folder;
            const auto plain = SeededBytes(30000, 4);
            WriteBytes(folder / "a.txt", plain);
            SetMode(folder / "a.txt", m.plain);

            const RunResult encrypted = Pipeline(c.options).Run(folder / "a.txt");
            ASSERT_TRUE(encrypted.ok) << encrypted.errorLine;
            const Names made = ListFolder(folder.Path());
            ASSERT_EQ(made.size(), 1u);
            const std::string container = folder / made.front();
            EXPECT_EQ(Octal(ModeOf(container)), Octal(m.plain)) << made.front();

            SetMode(container, m.container);
            const RunResult decrypted = Pipeline(c.options).Run(container);
            ASSERT_TRUE(decrypted.ok) << decrypted.errorLine;
            EXPECT_EQ(ReadBytes(folder / "a.txt"), plain);
            EXPECT_EQ(Octal(ModeOf(folder / "a.txt")), Octal(m.container));
            EXPECT_FALSE(HasTemporary(folder.Path()));
        }
    }
}

const PermissionCase PermissionCases[] = {
    {"own name", With(false, false, MyObjectAes::FamilyNone)},
    {"aes appended", With(false, true, MyObjectAes::FamilyNone)},
    {"mangled keeping the extension", With(true, false, MyObjectAes::FamilyNone)},
    {"mangled aes", With(true, true, MyObjectAes::FamilyNone)},
    {"gzip own name", With(false, false, MyObjectAes::FamilyGzip)},
    {"gzip aes appended", With(false, true, MyObjectAes::FamilyGzip)},
    {"gzip mangled aes", With(true, true, MyObjectAes::FamilyGzip)},
    {"bzip2 own name", With(false, false, MyObjectAes::FamilyBzip2)},
    {"bzip2 aes appended", With(false, true, MyObjectAes::FamilyBzip2)},
    {"bzip2 mangled keeping the extension", With(true, false, MyObjectAes::FamilyBzip2)},
};

INSTANTIATE_TEST_SUITE_P(Namings, PipelinePermission, ::testing::ValuesIn(PermissionCases),
                         [](const ::testing::TestParamInfo<PermissionCase>& p) { return CaseName(p.param.what); });

constexpr unsigned Nobody = 65534, Unused = 48213;

// Runs fn in a child as uid (group Nobody, plus member when not 0), or as
// root for uid 0, with a state folder of that user's; Exit waits for it.
template <class F>
pid_t StartAs(unsigned uid, unsigned member, F fn)
{
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    const gid_t groups[] = {Nobody, member};
    char state[] = "/tmp/tessarin-state-XXXXXX";
    if (uid != 0 && (::setgroups(member ? 2 : 1, groups) | ::setresgid(Nobody, Nobody, Nobody) |
                     ::setresuid(uid, uid, uid) | !::mkdtemp(state) | ::setenv("XDG_STATE_HOME", state, 1)) != 0)
        ::_exit(99);
    const int result = fn();
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
    ::_exit(result);
}

int Exit(pid_t child)
{
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A stored access list: the mode's owner, mask and other bits, a named
// user (rw-) and the owning group (r--).
std::string AclOf(unsigned mode)
{
    std::string bytes("\x02\0\0\0", 4);
    using Entry = std::array<unsigned, 3>;  // tag, permission, id
    for (const Entry& e : {Entry{1, mode >> 6 & 7, ~0u}, Entry{2, 6, Unused + 7}, Entry{4, 4, ~0u},
                           Entry{0x10, mode >> 3 & 7, ~0u}, Entry{0x20, mode & 7, ~0u}})
        for (const unsigned v : {e[0] | e[1] << 16, e[2]})
            bytes += std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    return bytes;
}

std::string Xattr(const std::string& path, const char* name)
{
    std::string value(256, '\0');
    value.resize(static_cast<std::size_t>(std::max<ssize_t>(::getxattr(path.c_str(), name, value.data(), 256), 0)));
    return value;
}

// Catches outputs that lose the owner, group, access list or attributes the
// running user may set, or keep set-ID bits and a group it may not.
TEST(PipelineOwners, OutputsKeepWhatTheRunningUserMaySetAndNeverMore)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give files other owners";
    const struct {
        const char* what;
        unsigned owner, group, mode, runAs, member;  // runAs 0: root; member: a further group of runAs
        unsigned wantOwner, wantGroup, wantMode;
        bool notice;  // that the set-ID bits were dropped
    } cases[] = {
        {"root keeps a user's setuid file", Nobody, Nobody, 04755, 0, 0, Nobody, Nobody, 04755, false},
        {"root keeps unused ids and setgid", Unused, Unused + 1, 02750, 0, 0, Unused, Unused + 1, 02750, false},
        {"another user drops setuid", Unused, Nobody, 04755, Nobody, 0, Nobody, Nobody, 0755, true},
        {"a member keeps the group", Unused, Unused + 1, 0644, Nobody, Unused + 1, Nobody, Unused + 1, 0644, false},
        {"a stranger drops the group and its bits", Unused, Unused + 1, 02754, Nobody, 0, Nobody, Nobody, 0704, true},
    };
    for (const auto& c : cases)
        for (const int family : {MyObjectAes::FamilyNone, MyObjectAes::FamilyGzip}) {
            SCOPED_TRACE(std::string(c.what) + (family ? ", gzip" : ""));
            TempFolder folder;
            const std::string path = folder / "a.txt";
            WriteBytes(path, SeededBytes(20000, 9));
            if (::setxattr(path.c_str(), "system.posix_acl_access", AclOf(c.mode).data(), 44, 0) != 0)
                GTEST_SKIP() << "the test folder's file system takes no access lists";
            ASSERT_EQ(::chown(path.c_str(), c.owner, c.group) | ::chown(folder.Path().c_str(), c.runAs, Nobody), 0);
            SetMode(path, c.mode);
            ASSERT_EQ(::setxattr(path.c_str(), "user.note", "kept", 4, 0), 0);
            Pipeline pipeline(With(false, false, family));
            EXPECT_EQ(Exit(StartAs(c.runAs, c.member, [&] {
                          if (!pipeline.Run(path).ok || !pipeline.Run(folder / ListFolder(folder.Path()).front()).ok)
                              return 1;
                          return pipeline.Sink().Transcript().find("set-user-ID") != std::string::npos ? 2 : 0;
                      })),
                      c.notice ? 2 : 0);
            struct stat st {};
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            EXPECT_EQ(ReadBytes(path), SeededBytes(20000, 9));
            EXPECT_EQ(std::vector<unsigned>({st.st_uid, st.st_gid, st.st_mode & 07777}),
                      std::vector<unsigned>({c.wantOwner, c.wantGroup, c.wantMode}));
            EXPECT_EQ(Xattr(path, "system.posix_acl_access"), AclOf(c.wantMode));
            EXPECT_EQ(Xattr(path, "user.note"), "kept");
        }
}

// Catches a new file that another user can open, in the instant it appears
// in a 0755 folder, while private files are encrypted and decrypted.
TEST(PipelineExposure, AnotherUserWatchingTheFolderOpensNothing)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to watch as another user";
    const Umask umask(022);
    TempFolder folder;
    SetMode(folder.Path(), 0755);
    const auto name = [&](int i, bool gz) { return folder / ("f" + std::to_string(i) + (gz ? ".gz" : "")); };
    for (int i = 0; i < 150; ++i)
        WriteBytes(name(i, false), SeededBytes(3000, i)), SetMode(name(i, false), 0600);
    const int events = ::inotify_init();
    ASSERT_GE(::inotify_add_watch(events, folder.Path().c_str(), IN_CREATE), 0);
    const pid_t watcher = StartAs(Nobody, 0, [&] {
        int opened = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(events, buffer, sizeof buffer)) > 0;)
            for (char* at = buffer; at < buffer + n; at += sizeof(inotify_event) + ((inotify_event*)at)->len) {
                const std::string made = ((inotify_event*)at)->name;
                if (made == "stop")
                    return opened;
                const int fd = ::open((folder / made).c_str(), O_RDONLY | O_NONBLOCK);
                opened += fd >= 0 && ::close(fd) == 0;
            }
        return 100;
    });
    Pipeline pipeline(With(false, false, MyObjectAes::FamilyGzip));
    for (const bool encrypted : {false, true})
        for (int i = 0; i < 150; ++i)
            EXPECT_TRUE(pipeline.Run(name(i, encrypted)).ok) << name(i, encrypted);
    WriteBytes(folder / "stop", {});
    EXPECT_EQ(Exit(watcher), 0) << "files of ours another user opened";
    ::close(events);
}

} // namespace
} // namespace tessarin
