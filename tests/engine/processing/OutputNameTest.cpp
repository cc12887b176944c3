// The naming rules without a file system: which name an output claims when
// others are taken, and which stored names a decryption and a check refuse.
#include "foundation/ErrorHandler.h"
#include "processing/CompressionFamily.h"
#include "processing/OutputName.h"
#include "processing/StoredName.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tessarin {
namespace {

TEST(OutputNameRules, AClaimTakesTheTargetOrTheNextFreeMangledNumber)
{
    struct Case {
        std::string target;
        std::set<std::string> taken;
        bool mangled;
        std::string claimed;  // empty: refused as taken
    };
    const Case cases[] = {
        {"/d/12.aes", {}, true, "/d/12.aes"},
        {"/d/12.aes", {"/d/12.aes"}, false, ""},
        {"/d/12.txt", {"/d/12.txt", "/d/13.txt"}, true, "/d/14.txt"},
        {"/d/4294967295.", {"/d/4294967295."}, true, "/d/0."},  // the number is 32 bits wide
        {"/d/x.aes", {"/d/x.aes"}, true, "/d/1x.aes"},
        {"/d/a.txt", {"/d/a.txt"}, false, "/d/a.txt"},  // the file it is made from
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        std::string target = c.target;
        const auto exists = [&c](const std::string& path) { return c.taken.count(path) > 0; };
        if (c.claimed.empty()) {
            EXPECT_THROW(OutputName::Claim(target, "/d/a.txt", c.mangled, exists), ErrorHandler);
            continue;
        }
        OutputName::Claim(target, "/d/a.txt", c.mangled, exists);
        EXPECT_EQ(target, c.claimed);
    }
}

TEST(OutputNameRules, StoredNamesThatLeadElsewhereAreRefused)
{
    const std::uint32_t gzip = CompressionFamily::FilterWord(CompressionFamily::Gzip, 6);
    const std::uint32_t bzip2 = CompressionFamily::FilterWord(CompressionFamily::Bzip2, 6);
    struct Case {
        std::string name;
        std::uint32_t filter;
        std::string final;  // empty: refused
    };
    const Case cases[] = {
        {"a.txt", 0, "a.txt"},  {"x.gz", gzip, "x"},         {"x.bz", bzip2, "x"},
        {"x.gz", bzip2, ""},    {"plain", gzip, ""},          {".gz", gzip, ""},
        {"../up", 0, ""},       {"a/b", 0, ""},               {"..", 0, ""},
        {"", 0, ""},            {std::string("a\0b", 3), 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.final.empty()) {
            try {
                StoredName::Check("/d/c.aes", c.name, c.filter);
                ADD_FAILURE() << "accepted";
            } catch (const ErrorHandler& e) {
                EXPECT_EQ(e.GetErrCode(), errc::UnsafeStoredName);
            }
            continue;
        }
        EXPECT_NO_THROW(StoredName::Check("/d/c.aes", c.name, c.filter));
        EXPECT_EQ(StoredName::Final(c.name, c.filter), c.final);
    }
}

} // namespace
} // namespace tessarin
