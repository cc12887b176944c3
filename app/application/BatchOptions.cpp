#include "application/BatchOptions.h"

namespace tessarin {

namespace {

// Patterns and paths are matched against the bytes the file system holds.
std::string Bytes(const SettingsText& text)
{
    return SettingsTextBytes(text);
}

} // namespace

BatchOptions BatchOptions::From(const AppSettings& s)
{
    BatchOptions o;
    switch (s.encrypt) {
    case 1: o.modality = MyObjectAes::Decryption; break;
    case 2: o.modality = MyObjectAes::Automatic; break;
    default: o.modality = MyObjectAes::Encryption; break;
    }
    o.keyLen = s.comboKeyLen == 0 ? MyAesFiles::Key128 : s.comboKeyLen == 1 ? MyAesFiles::Key192 : MyAesFiles::Key256;
    o.blockSize = s.comboBlockSize == 0   ? MyAesFiles::Block128
                  : s.comboBlockSize == 1 ? MyAesFiles::Block192
                                          : MyAesFiles::Block256;
    switch (s.comboOperMode) {
    case 1: o.mode = OperMode::CFB; break;
    case 2: o.mode = OperMode::ECB; break;
    default: o.mode = OperMode::CBC; break;
    }
    o.wiping = s.checkWiping != 0;
    o.deleteOrig = s.checkKeepOriginal == 0;
    o.nameMangling = s.checkMangling != 0;
    o.changeExtension = s.checkChangeExt != 0;
    int family = CompressionFamily::None;
    if (s.checkFilterCompress == 1 && s.comprFamily == 0)
        family = CompressionFamily::Gzip;
    else if (s.checkFilterCompress == 1 && s.comprFamily == 1)
        family = CompressionFamily::Bzip2;
    // The level travels even without compression; the index is taken as it
    // is stored, so only the low 16 bits of its image reach the filter word.
    const auto level = static_cast<std::uint32_t>(s.comprLevel) * 2u + 1u;
    o.filter = CompressionFamily::FilterWord(family, level);
    o.filterSensitive = s.checkFilterExclusion != 0;
    o.exclusionList = Bytes(s.editFilterExclusionList);
    o.recursive = s.checkRecursive != 0;
    o.sensitive = s.checkSensive != 0;
    o.pattern = Bytes(s.editPattern);
    o.logging = s.checkLogging != 0;
    o.logFilename = Bytes(s.editLogFilename);
    return o;
}

void BatchOptions::Apply(MyObjectAes& action, const std::string& password) const
{
    action.SetModality(modality);
    action.SetPasswd(password, keyLen, blockSize);
    action.SetMode(mode);
    action.SetWiping(wiping);
    action.SetDeleteOrig(deleteOrig);
    action.SetNameMangling(nameMangling);
    action.SetChangeExtention(changeExtension);
    action.SetFilter(filter);
    action.SetFilterSensitive(filterSensitive);
    action.SetFilterParse(exclusionList);
    action.SetReplaceExisting(replaceExisting);
}

void BatchOptions::Apply(CipherSession& session, const std::string& password) const
{
    session.SetMode(mode);
    session.SetPasswd(password, keyLen, blockSize);
}

} // namespace tessarin
