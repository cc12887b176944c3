#include "engine/processing/PipelineHarness.h"

#include "foundation/ErrorHandler.h"
#include "selection/FileFind.h"
#include "processing/MyCompressBzip2.h"
#include "processing/MyCompressGzip.h"
#include "selection/MyCString.h"

#include <gtest/gtest.h>

namespace tessarin::test {

namespace {

MyAesFiles::KeyLen KeyOf(const PipelineOptions& o)
{
    return static_cast<MyAesFiles::KeyLen>(o.keyLength);
}

MyAesFiles::BlockSize BlockOf(const PipelineOptions& o)
{
    return static_cast<MyAesFiles::BlockSize>(o.block);
}

void Key(MyAesFiles& codec, const PipelineOptions& o)
{
    if (o.mode == OperMode::CFB)
        codec.MakeEncKey(o.password, KeyOf(o), BlockOf(o));
    else
        codec.MakeDecKey(o.password, KeyOf(o), BlockOf(o));
}

} // namespace

Pipeline::Pipeline(const PipelineOptions& o, int breakAfterReports)
    : m_sink(breakAfterReports), m_object(&m_sink), m_check(&m_sink)
{
    m_check.SetMode(o.mode);
    m_check.SetPasswd(o.password, KeyOf(o), BlockOf(o));
    m_check.LoadLibraryA(static_cast<unsigned>(o.block));
    m_check.LoadGzipLibrary();
    m_check.LoadBzip2Library();
    m_object.SetModality(o.modality);
    m_object.SetMode(o.mode);
    m_object.SetFilterFamily(o.family);
    m_object.SetFilterParam(o.level);
    m_object.SetNameMangling(o.mangling);
    m_object.SetChangeExtention(o.changeExtension);
    m_object.SetDeleteOrig(o.deleteOriginal);
    m_object.SetWiping(o.wiping);
    m_object.SetReplaceExisting(o.replaceExisting);
    m_object.SetFilterParse(o.exclusions);
    m_object.SetPasswd(o.password, KeyOf(o), BlockOf(o));
    m_object.LoadLibraryA(static_cast<unsigned>(o.block));
    m_object.LoadGzipLibrary();
    m_object.LoadBzip2Library();
}

RunResult Pipeline::RunOn(MyObject& action, const std::string& path)
{
    RunResult result;
    CFileFind found;
    EXPECT_TRUE(found.FindFile(path)) << path;
    found.FindNextFile();
    const std::size_t before = m_sink.Lines().size();
    try {
        action.Run(found);
        result.ok = action.ResultOk();
    } catch (const ErrorHandler& e) {
        EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
        result.broke = true;
    }
    for (std::size_t i = before; i < m_sink.Lines().size(); ++i) {
        if (m_sink.Lines()[i].level == MyStream::LevelError)
            result.errorLine = m_sink.Lines()[i].text;
    }
    return result;
}

std::optional<std::vector<std::uint8_t>> PlainOf(const std::string& path, const PipelineOptions& o)
{
    MyAesFiles codec(nullptr, &test::LoadedCipher(o.block));
    Key(codec, o);
    MyFile in(path, MyFile::OpenRead);
    if (codec.CheckHeader(in, o.mode) == MyAesFiles::HeaderNone)
        return ReadBytes(path);

    TempFolder scratch;
    try {
        MyAesFiles decoder(nullptr, &test::LoadedCipher(o.block));
        Key(decoder, o);
        {
            MyFile out(scratch / "decoded", MyFile::OpenWrite);
            decoder.Decode(in, out, o.mode);
        }
        const std::uint32_t filter = decoder.GetFilterFromHeader();
        const std::uint32_t nf = decoder.GetNfSizeFromHeader();
        if ((filter >> 16) == MyObjectAes::FamilyGzip)
            MyCompressGzip::Decompress(scratch / "decoded", scratch / "plain", nullptr, nf);
        else if ((filter >> 16) == MyObjectAes::FamilyBzip2)
            MyCompressBzip2::Decompress(scratch / "decoded", scratch / "plain", nullptr, nf);
        else
            return ReadBytes(scratch / "decoded");
        return ReadBytes(scratch / "plain");
    } catch (const ErrorHandler&) {
        return std::nullopt;
    }
}

void WriteCraftedContainer(const std::string& path, const std::vector<std::uint8_t>& content,
                           const std::string& storedName, std::uint32_t filter, const PipelineOptions& o,
                           std::optional<std::uint32_t> nfSize)
{
    TempFolder scratch;
    WriteBytes(scratch / "content", content);
    MyAesFiles codec(nullptr, &test::LoadedCipher(o.block));
    Key(codec, o);
    MyFile in(scratch / "content", MyFile::OpenRead);
    in.SetFileName(storedName);  // the name the header will carry
    MyFile out(path, MyFile::OpenWrite);
    codec.Encode(in, out, o.mode, filter, nfSize.value_or(static_cast<std::uint32_t>(content.size() * 4 + 1)));
}

std::vector<std::uint8_t> Gzip(const std::vector<std::uint8_t>& plain)
{
    TempFolder scratch;
    WriteBytes(scratch / "in", plain);
    MyCompressGzip::Compress(scratch / "in", scratch / "out", nullptr, 6);
    return ReadBytes(scratch / "out");
}

std::string Mangled(const std::string& path)
{
    MyCString text(path);
    text.Mangling();
    return text.GetString();
}

bool HasTemporary(const std::string& folder)
{
    for (const std::string& name : ListFolder(folder)) {
        if (name.rfind("~aes", 0) == 0)
            return true;
    }
    return false;
}

} // namespace tessarin::test
