#include "RijndaelVectors.h"

#include <fstream>
#include <optional>

namespace tessarin::test {
namespace {

std::optional<Bytes> parseHex(const std::string& text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = nibble(text[i]);
        const int low = nibble(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    return bytes;
}

std::optional<unsigned> parseLength(const std::string& text)
{
    if (text == "16" || text == "24" || text == "32")
        return static_cast<unsigned>(std::stoul(text));
    return std::nullopt;
}

std::optional<ChainMode> parseMode(const std::string& text)
{
    if (text == "ECB")
        return ChainMode::Ecb;
    if (text == "CBC")
        return ChainMode::Cbc;
    if (text == "CFB")
        return ChainMode::Cfb;
    return std::nullopt;
}

// Returns an empty string when the record was added, else why it was not.
std::string parseRecord(const std::vector<std::string>& f, int line, VectorFile& file)
{
    const bool known = f[0] == "KAT";
    if (!known && f[0] != "MODE")
        return label("unknown record type '", f[0], "'");
    // A KAT's source tag is optional; a MODE record has none.
    const bool fieldCountOk = known ? (f.size() == 6 || f.size() == 7) : f.size() == 8;
    if (!fieldCountOk)
        return "wrong number of fields";

    const auto block = parseLength(f[1]);
    const auto keyLength = parseLength(f[2]);
    if (!block || !keyLength)
        return "block or key length is not 16, 24 or 32";

    const std::size_t hexStart = known ? 3 : 4;
    std::vector<Bytes> hex;
    for (std::size_t i = hexStart; i < hexStart + (known ? 3 : 4); ++i) {
        auto bytes = parseHex(f[i]);
        if (!bytes)
            return label("field ", i + 1, " is not lower-case hex");
        hex.push_back(std::move(*bytes));
    }
    if (hex[0].size() != *keyLength)
        return "key length does not match";

    if (known) {
        if (hex[1].size() != *block || hex[2].size() != *block)
            return "plaintext or ciphertext is not one block";
        file.knownAnswers.push_back(
            {line, *block, hex[0], hex[1], hex[2], f.size() == 7 ? f[6] : std::string{}});
        return {};
    }

    const auto mode = parseMode(f[3]);
    if (!mode)
        return label("unknown mode '", f[3], "'");
    const Bytes& chain = hex[1];
    const Bytes& plain = hex[2];
    if (chain.size() != 32)
        return "chaining value is not 32 bytes";
    if (plain.empty() || plain.size() % *block != 0 || hex[3].size() != plain.size())
        return "plaintext or ciphertext is not whole blocks of equal length";
    file.modeVectors.push_back({line, *block, *mode, hex[0],
                                Bytes(chain.begin(), chain.begin() + *block), plain, hex[3]});
    return {};
}

} // namespace

const char* chainModeName(ChainMode mode)
{
    switch (mode) {
    case ChainMode::Ecb:
        return "ECB";
    case ChainMode::Cbc:
        return "CBC";
    case ChainMode::Cfb:
        return "CFB";
    }
    return "?";
}

VectorFile parseVectorFile(const std::filesystem::path& path)
{
    VectorFile file;
    std::ifstream in(path);
    if (!in) {
        file.errors.push_back(label("cannot open ", path.string()));
        return file;
    }
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.empty() || text[0] == '#')
            continue;
        std::istringstream fields(text);
        std::vector<std::string> f;
        for (std::string field; fields >> field;)
            f.push_back(field);
        if (f.empty())
            continue;
        if (std::string why = parseRecord(f, line, file); !why.empty())
            file.errors.push_back(label("line ", line, ": ", why));
    }
    return file;
}

const VectorFile& rijndaelVectors()
{
    static const VectorFile file =
        parseVectorFile(std::filesystem::path(TESSARIN_TEST_DATA) / "rijndael_vectors.txt");
    return file;
}

} // namespace tessarin::test
