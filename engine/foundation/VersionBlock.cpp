// Version blocks of modules, read from their files: see VersionBlock.h.
#include "foundation/VersionBlock.h"
#include "platform/Module.h"

#if defined(_WIN32)
#include "platform/VersionResourceWin32.h"
#else
#include <elf.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <optional>

namespace tessarin {

namespace {

constexpr const char* SectionName = ".tessarin_version";
constexpr std::array<std::uint8_t, 8> Magic{'T', 'S', 'V', 'B', 'L', 'K', 0, 1};
constexpr std::size_t HeaderSize = 16;  // magic, length, translation count
#if defined(_WIN32)
constexpr const char* ModulePathSeparators = "/\\:";
#else
constexpr const char* ModulePathSeparators = "/";
#endif

#if !defined(_WIN32)
// ---- the module file: where its version section lies -----------------------

struct Section {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// Reads fixed-size fields of an ELF file of either class and byte order.
class ElfReader {
public:
    explicit ElfReader(const std::string& path) : m_in(path, std::ios::binary) {}

    std::optional<Section> FindSection(const std::string& wanted)
    {
        std::array<std::uint8_t, EI_NIDENT> ident{};
        if (!ReadAt(0, ident) || std::memcmp(ident.data(), ELFMAG, SELFMAG) != 0)
            return std::nullopt;
        if (ident[EI_CLASS] != ELFCLASS32 && ident[EI_CLASS] != ELFCLASS64)
            return std::nullopt;
        m_wide = ident[EI_CLASS] == ELFCLASS64;
        m_little = ident[EI_DATA] == ELFDATA2LSB;

        // Offsets of the section-header fields in the file header.
        const std::uint64_t shoff = m_wide ? Field(0x28, 8) : Field(0x20, 4);
        const std::uint64_t shentsize = m_wide ? Field(0x3A, 2) : Field(0x2E, 2);
        std::uint64_t shnum = m_wide ? Field(0x3C, 2) : Field(0x30, 2);
        std::uint64_t shstrndx = m_wide ? Field(0x3E, 2) : Field(0x32, 2);
        if (!m_ok || shoff == 0 || shentsize < (m_wide ? sizeof(Elf64_Shdr) : sizeof(Elf32_Shdr)))
            return std::nullopt;
        // Files with very many sections keep the true counts in section 0.
        if (shnum == 0)
            shnum = SectionField(shoff, Size);
        if (shstrndx == SHN_XINDEX)
            shstrndx = SectionField(shoff, Link);
        if (!m_ok || shstrndx >= shnum || shnum > 65536)
            return std::nullopt;

        const std::uint64_t namesAt = shoff + shstrndx * shentsize;
        const Section names{SectionField(namesAt, Offset), SectionField(namesAt, Size)};
        for (std::uint64_t i = 0; i < shnum && m_ok; ++i) {
            const std::uint64_t at = shoff + i * shentsize;
            const std::uint64_t name = SectionField(at, Name);
            if (SectionField(at, Type) != SHT_PROGBITS || name >= names.size)
                continue;
            if (NameAt(names.offset + name, names.offset + names.size) == wanted)
                return Section{SectionField(at, Offset), SectionField(at, Size)};
        }
        return std::nullopt;
    }

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> out)
    {
        m_in.clear();
        m_in.seekg(static_cast<std::streamoff>(offset));
        m_in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        return static_cast<std::size_t>(m_in.gcount()) == out.size();
    }

private:
    enum ShField { Name, Type, Offset, Size, Link };

    std::uint64_t Field(std::uint64_t offset, int width)
    {
        std::array<std::uint8_t, 8> bytes{};
        if (!ReadAt(offset, std::span(bytes).first(static_cast<std::size_t>(width)))) {
            m_ok = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            const int index = m_little ? width - 1 - i : i;
            value = (value << 8) | bytes[static_cast<std::size_t>(index)];
        }
        return value;
    }

    std::uint64_t SectionField(std::uint64_t header, ShField field)
    {
        // sh_name, sh_type are 4 bytes in both classes; the rest follow the class.
        switch (field) {
        case Name: return Field(header + 0, 4);
        case Type: return Field(header + 4, 4);
        case Offset: return m_wide ? Field(header + 0x18, 8) : Field(header + 0x10, 4);
        case Size: return m_wide ? Field(header + 0x20, 8) : Field(header + 0x14, 4);
        case Link: return m_wide ? Field(header + 0x28, 4) : Field(header + 0x18, 4);
        }
        return 0;
    }

    std::string NameAt(std::uint64_t offset, std::uint64_t end)
    {
        std::string name;
        std::array<std::uint8_t, 1> c{};
        while (offset < end && name.size() < 64 && ReadAt(offset++, c) && c[0] != 0)
            name.push_back(static_cast<char>(c[0]));
        return name;
    }

    std::ifstream m_in;
    bool m_wide = true;
    bool m_little = true;
    bool m_ok = true;
};

#endif // !_WIN32

std::string PathOf(const std::string& moduleName)
{
    if (moduleName.find_first_of(ModulePathSeparators) != std::string::npos)
        return moduleName;
    return platform::Module::Locate(moduleName);
}

// ---- zlib and bzip2: a block made from the library's own version text ------

std::optional<std::vector<std::uint8_t>> SynthesisedBlock(const std::string& moduleName)
{
    const char* entry = nullptr;
    const char* description = nullptr;
    const char* copyright = nullptr;
    if (moduleName == "zlib.dll") {
        entry = "zlibVersion";
        description = "zlib general purpose compression library";
        copyright = "Copyright (C) Jean-loup Gailly and Mark Adler";
    } else if (moduleName == "bzip2.dll") {
        entry = "BZ2_bzlibVersion";
        description = "bzip2 block-sorting compression library";
        copyright = "Copyright (C) Julian R Seward";
    } else {
        return std::nullopt;
    }
    const platform::ModuleHandle module = platform::Module::Load(moduleName);
    using VersionFunction = const char* (*)();
    const auto version = reinterpret_cast<VersionFunction>(platform::Module::Symbol(module, entry));
    const char* text = version ? version() : nullptr;
    if (!text)
        return std::vector<std::uint8_t>{};  // no library, or not the one we know
    // bzip2 answers "1.0.8, 13-Jul-2019": the number is the file version and
    // the rest tells which release it was.
    std::string fileVersion = text;
    std::string remark;
    if (const auto comma = fileVersion.find(','); comma != std::string::npos) {
        remark = fileVersion.substr(comma + 1);
        remark.erase(0, remark.find_first_not_of(' '));
        fileVersion.resize(comma);
    }
    return BuildVersionBlock(DefaultTranslation, {{"FileVersion", fileVersion},
                                                  {"PrivateBuild", remark},
                                                  {"FileDescription", description},
                                                  {"LegalCopyright", copyright},
                                                  {"ProductVersion", text}});
}

// ---- the block itself --------------------------------------------------------

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

struct ParsedBlock {
    std::span<const std::uint8_t> translations;
    std::span<const std::uint8_t> strings;
};

// Checks the header against the bytes actually there: a damaged block is
// refused rather than read past its end.
std::optional<ParsedBlock> Parse(std::span<const std::uint8_t> block)
{
    if (block.size() < HeaderSize || !std::equal(Magic.begin(), Magic.end(), block.begin()))
        return std::nullopt;
    const std::uint32_t length = Le32(block, 8);
    const std::uint32_t count = Le32(block, 12);
    if (length < HeaderSize || length > block.size() || count > (length - HeaderSize) / 4)
        return std::nullopt;
    const std::size_t stringsAt = HeaderSize + std::size_t{count} * 4;
    return ParsedBlock{block.subspan(HeaderSize, std::size_t{count} * 4),
                       block.subspan(stringsAt, length - stringsAt)};
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string HexOf(std::uint32_t translation)
{
    static constexpr char Digits[] = "0123456789abcdef";
    const std::uint32_t ordered = (translation & 0xFFFFu) << 16 | translation >> 16;  // language first
    std::string text(8, '0');
    for (int i = 0; i < 8; ++i)
        text[static_cast<std::size_t>(i)] = Digits[(ordered >> (28 - 4 * i)) & 0xFu];
    return text;
}

// The value of name in the string table, or nothing. The table is a run of
// NUL-terminated name/value pairs ended by an empty name.
std::optional<std::span<const std::uint8_t>> FindString(std::span<const std::uint8_t> strings, std::string_view name)
{
    std::size_t at = 0;
    const auto next = [&]() -> std::optional<std::span<const std::uint8_t>> {
        const auto end = std::find(strings.begin() + static_cast<std::ptrdiff_t>(at), strings.end(), std::uint8_t{0});
        if (end == strings.end())
            return std::nullopt;
        const std::size_t stop = static_cast<std::size_t>(end - strings.begin());
        auto piece = strings.subspan(at, stop - at);
        at = stop + 1;
        return piece;
    };
    while (true) {
        const auto key = next();
        if (!key || key->empty())
            return std::nullopt;
        const auto value = next();
        if (!value)
            return std::nullopt;
        if (EqualNoCase({reinterpret_cast<const char*>(key->data()), key->size()}, name))
            return value;
    }
}

} // namespace

std::uint32_t VersionInfoSize(const std::string& moduleName)
{
    if (const auto made = SynthesisedBlock(moduleName))
        return static_cast<std::uint32_t>(made->size());
    const std::string path = PathOf(moduleName);
    if (path.empty())
        return 0;
#if defined(_WIN32)
    return platform::SystemVersionInfoSize(path);
#else
    ElfReader elf(path);
    const auto section = elf.FindSection(SectionName);
    if (!section || section->size == 0 || section->size > 0xFFFFFFFFu)
        return 0;
    return static_cast<std::uint32_t>(section->size);
#endif
}

bool ReadVersionInfo(const std::string& moduleName, std::vector<std::uint8_t>& block)
{
    if (auto made = SynthesisedBlock(moduleName)) {
        if (made->empty())
            return false;
        block = std::move(*made);
        return true;
    }
    const std::string path = PathOf(moduleName);
    if (path.empty())
        return false;
#if defined(_WIN32)
    return platform::SystemReadVersionInfo(path, block);
#else
    ElfReader elf(path);
    const auto section = elf.FindSection(SectionName);
    if (!section || section->size == 0 || section->size > 0xFFFFFFFFu)
        return false;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(section->size));
    if (!elf.ReadAt(section->offset, bytes))
        return false;
    block = std::move(bytes);
    return true;
#endif
}

bool QueryVersionValue(std::span<const std::uint8_t> block, const std::string& path,
                       std::span<const std::uint8_t>& value)
{
    const auto parsed = Parse(block);
#if defined(_WIN32)
    // Not a block of ours: a module's VERSIONINFO resource.
    if (!parsed)
        return platform::SystemQueryVersionValue(block, path, value);
#endif
    if (!parsed)
        return false;
    if (path == "\\") {
        value = block.first(Le32(block, 8));
        return true;
    }
    if (EqualNoCase(path, "\\VarFileInfo\\Translation")) {
        if (parsed->translations.empty())
            return false;
        value = parsed->translations;
        return true;
    }
    static constexpr std::string_view Strings = "\\StringFileInfo\\";
    if (path.size() < Strings.size() + 10 || !EqualNoCase(std::string_view(path).substr(0, Strings.size()), Strings) ||
        path[Strings.size() + 8] != '\\')
        return false;
    const std::string_view wanted = std::string_view(path).substr(Strings.size(), 8);
    bool known = false;
    for (std::size_t i = 0; i < parsed->translations.size(); i += 4)
        known = known || EqualNoCase(HexOf(Le32(parsed->translations, i)), wanted);
    if (!known)
        return false;
    const auto found = FindString(parsed->strings, std::string_view(path).substr(Strings.size() + 9));
    if (!found)
        return false;
    value = *found;
    return true;
}

std::vector<std::uint8_t> BuildVersionBlock(std::uint32_t translation, const VersionEntries& entries)
{
    std::vector<std::uint8_t> out(Magic.begin(), Magic.end());
    PutLe32(out, 0);  // length, known at the end
    PutLe32(out, 1);
    PutLe32(out, translation);
    for (const auto& [name, text] : entries) {
        if (name.empty())
            continue;  // an empty name would end the table
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    out.push_back(0);
    const auto length = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
    return out;
}

} // namespace tessarin
