#include "application/BatchOptions.h"

#include <gtest/gtest.h>

#include <functional>

namespace tessarin {
namespace {

struct OptionsCase {
    const char* what;
    std::function<void(AppSettings&)> settings;
    std::function<bool(const BatchOptions&)> expected;
};

TEST(BatchOptions, SettingsIndicesBecomeTheEnginesValues)
{
    using O = BatchOptions;
    const OptionsCase cases[] = {
        {"defaults",
         [](AppSettings&) {},
         [](const O& o) {
             return o.modality == MyObjectAes::Encryption && o.keyLen == MyAesFiles::Key256 &&
                    o.blockSize == MyAesFiles::Block256 && o.mode == OperMode::CBC && !o.wiping && o.deleteOrig &&
                    !o.nameMangling && o.changeExtension && o.filter == 5 && !o.filterSensitive &&
                    o.exclusionList == "*.zip *.rar *.gz *.bz *.bz2 *.ace *.aes *.cab" && o.recursive && o.sensitive &&
                    o.pattern == "*" && o.logging;
         }},
        {"decrypting", [](AppSettings& s) { s.encrypt = 1; }, [](const O& o) { return o.modality == MyObjectAes::Decryption; }},
        {"auto mode", [](AppSettings& s) { s.encrypt = 2; }, [](const O& o) { return o.modality == MyObjectAes::Automatic; }},
        {"unknown direction encrypts", [](AppSettings& s) { s.encrypt = 3; }, [](const O& o) { return o.modality == MyObjectAes::Encryption; }},
        {"negative direction encrypts", [](AppSettings& s) { s.encrypt = -1; }, [](const O& o) { return o.modality == MyObjectAes::Encryption; }},
        {"128-bit keys", [](AppSettings& s) { s.comboKeyLen = 0; }, [](const O& o) { return o.keyLen == MyAesFiles::Key128; }},
        {"192-bit keys", [](AppSettings& s) { s.comboKeyLen = 1; }, [](const O& o) { return o.keyLen == MyAesFiles::Key192; }},
        {"key index 7", [](AppSettings& s) { s.comboKeyLen = 7; }, [](const O& o) { return o.keyLen == MyAesFiles::Key256; }},
        {"key index -1", [](AppSettings& s) { s.comboKeyLen = -1; }, [](const O& o) { return o.keyLen == MyAesFiles::Key256; }},
        {"128-bit blocks", [](AppSettings& s) { s.comboBlockSize = 0; }, [](const O& o) { return o.blockSize == MyAesFiles::Block128; }},
        {"192-bit blocks", [](AppSettings& s) { s.comboBlockSize = 1; }, [](const O& o) { return o.blockSize == MyAesFiles::Block192; }},
        {"block index 9", [](AppSettings& s) { s.comboBlockSize = 9; }, [](const O& o) { return o.blockSize == MyAesFiles::Block256; }},
        {"CFB is the second mode", [](AppSettings& s) { s.comboOperMode = 1; }, [](const O& o) { return o.mode == OperMode::CFB; }},
        {"ECB is the third mode", [](AppSettings& s) { s.comboOperMode = 2; }, [](const O& o) { return o.mode == OperMode::ECB; }},
        {"unknown mode is CBC", [](AppSettings& s) { s.comboOperMode = 3; }, [](const O& o) { return o.mode == OperMode::CBC; }},
        {"gzip, normal", [](AppSettings& s) { s.checkFilterCompress = 1; }, [](const O& o) { return o.filter == 0x10005u; }},
        {"bzip2, best", [](AppSettings& s) { s.checkFilterCompress = 1, s.comprFamily = 1, s.comprLevel = 4; },
         [](const O& o) { return o.filter == 0x20009u; }},
        {"gzip, fastest", [](AppSettings& s) { s.checkFilterCompress = 1, s.comprLevel = 0; },
         [](const O& o) { return o.filter == 0x10001u; }},
        {"level without compression", [](AppSettings& s) { s.comprFamily = 1, s.comprLevel = 3; },
         [](const O& o) { return o.filter == 7u; }},
        {"compression only when the box holds exactly 1", [](AppSettings& s) { s.checkFilterCompress = 2; },
         [](const O& o) { return o.filter == 5u; }},
        {"unknown family compresses nothing", [](AppSettings& s) { s.checkFilterCompress = 1, s.comprFamily = 2; },
         [](const O& o) { return o.filter == 5u; }},
        {"keeping originals", [](AppSettings& s) { s.checkKeepOriginal = 1; }, [](const O& o) { return !o.deleteOrig; }},
        {"check boxes other than 0 are on",
         [](AppSettings& s) { s.checkWiping = 5, s.checkMangling = -1, s.checkFilterExclusion = 2; },
         [](const O& o) { return o.wiping && o.nameMangling && o.filterSensitive; }},
        {"own names, no recursion, any case, no log",
         [](AppSettings& s) { s.checkChangeExt = 0, s.checkRecursive = 0, s.checkSensive = 0, s.checkLogging = 0; },
         [](const O& o) { return !o.changeExtension && !o.recursive && !o.sensitive && !o.logging; }},
        {"texts as the file system's bytes",
         [](AppSettings& s) {
             s.editPattern = QString::fromUtf8("*ä.txt");
             s.editFilterExclusionList = QString::fromUtf8("*.€");
             s.editLogFilename = QString::fromUtf8("/tmp/lög");
         },
         [](const O& o) { return o.pattern == "*ä.txt" && o.exclusionList == "*.€" && o.logFilename == "/tmp/lög"; }},
    };
    for (const OptionsCase& c : cases) {
        AppSettings settings;
        c.settings(settings);
        EXPECT_TRUE(c.expected(BatchOptions::From(settings))) << c.what;
    }
}

} // namespace
} // namespace tessarin
