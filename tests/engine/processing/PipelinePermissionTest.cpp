// Outputs are written to private temporary files; the finished file must
// carry the permission bits of the file it was made from, in both
// directions, through compression and whatever its name. The modes are set
// with chmod and the umask is fixed, so the expectations hold for any user.
#include "engine/processing/PipelineHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
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

} // namespace
} // namespace tessarin
