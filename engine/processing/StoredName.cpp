// Checks of the names containers store.
#include "processing/StoredName.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "platform/Files.h"
#include "processing/CompressionFamily.h"
#include "processing/OutputName.h"

namespace tessarin {

namespace {

// Whether name ends with the family's suffix and is a plain name without it.
bool HasSuffixOf(const std::string& name, const CompressionFamily& family)
{
    const std::size_t length = family.SuffixLength();
    return name.size() >= length && name.compare(name.size() - length, length, family.suffix) == 0 &&
           StoredName::IsPlain(name.substr(0, name.size() - length));
}

} // namespace

bool StoredName::IsPlain(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find(platform::PathSeparator) == std::string::npos &&
           name.find('\0') == std::string::npos;
}

void StoredName::Check(const std::string& container, const std::string& name, std::uint32_t filter)
{
    const std::string where = "Unsafe name '" + ShownName(name) + "' stored in '" + ShownName(container) + "'";
    if (!IsPlain(name))
        throw ErrorHandler(errc::UnsafeStoredName, where + "!");
    const CompressionFamily* family = CompressionFamily::OfFilter(filter);
    if (family && !HasSuffixOf(name, *family))
        throw ErrorHandler(errc::UnsafeStoredName,
                           where + ": it lacks the suffix '" + family->suffix + "' of its compression!");
}

void StoredName::CheckCompressed(const std::string& path, const CompressionFamily& family)
{
    const std::string name = OutputName::NameOf(path);
    if (!HasSuffixOf(name, family))
        throw ErrorHandler(errc::UnsafeStoredName, "Unsafe name '" + ShownName(name) + "': it lacks the suffix '" +
                                                       family.suffix + "' of its compression!");
}

std::string StoredName::Final(const std::string& name, std::uint32_t filter)
{
    const CompressionFamily* family = CompressionFamily::OfFilter(filter);
    return family ? name.substr(0, name.size() - family->SuffixLength()) : name;
}

} // namespace tessarin
