// Owner, group, mode, access list and extended attributes of an output,
// taken over from its original with the system's own calls: the access
// list is copied as the attribute the kernel stores it in, so no access
// list library is needed.
#include "platform/FileAttributes.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tessarin::platform {

namespace {

constexpr char AccessList[] = "system.posix_acl_access";
constexpr char DefaultList[] = "system.posix_acl_default";  // folders only
constexpr char Capabilities[] = "security.capability";      // privileges, as the set-ID bits are

// Asks twice, first for the size: another process may change the answer
// in between, which a retry settles.
template <class Buffer, class Get>
bool ReadWhole(Buffer& buffer, Get get)
{
    for (int tries = 0; tries < 8; ++tries) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return false;
        buffer.resize(static_cast<std::size_t>(size));
        if (size == 0)
            return true;
        const ssize_t got = get(reinterpret_cast<char*>(buffer.data()), buffer.size());
        if (got >= 0) {
            buffer.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

// What an access list grants, each within its mask (rwx as three bits).
struct ListGrants {
    unsigned owningGroup = 0;  // the owning group's entry
    unsigned namedUsers = 7;   // the narrowest named user's
    unsigned narrowest = 0;    // the narrowest of all entries between owner and others
};

// The stored form: a version word (2), then entries of tag, permission
// and id, little-endian.
bool ReadList(const std::vector<std::uint8_t>& value, ListGrants& grants)
{
    const auto word = [&](std::size_t at, int bytes) {
        unsigned v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | value[at + static_cast<std::size_t>(i)];
        return v;
    };
    if (value.size() < 4 || (value.size() - 4) % 8 != 0 || word(0, 4) != 2)
        return false;
    unsigned mask = 7, group = 0, users = 7, named = 7;
    bool hasGroup = false;
    for (std::size_t at = 4; at < value.size(); at += 8) {
        const unsigned perm = word(at + 2, 2) & 7;
        switch (word(at, 2)) {
        case 0x02: users &= perm; named &= perm; break;  // a named user
        case 0x04: group = perm; hasGroup = true; break;  // the owning group
        case 0x08: named &= perm; break;                  // a named group
        case 0x10: mask = perm; break;
        default: break;
        }
    }
    if (!hasGroup)
        return false;
    grants = {group & mask, users & mask, named & group & mask};
    return true;
}

const ExtendedAttribute* Find(const ExtendedAttributes& attributes, const char* name)
{
    for (const ExtendedAttribute& attribute : attributes)
        if (attribute.name == name)
            return &attribute;
    return nullptr;
}

} // namespace

ExtendedAttributes ReadExtendedAttributes(NativeHandle handle)
{
    ExtendedAttributes result;
    std::vector<char> names;
    if (!ReadWhole(names, [&](char* buffer, std::size_t size) { return ::flistxattr(handle, buffer, size); }))
        return result;
    names.push_back('\0');
    for (std::size_t at = 0; at + 1 < names.size();) {
        ExtendedAttribute attribute{std::string(names.data() + at), {}};
        at += attribute.name.size() + 1;
        const bool read = ReadWhole(attribute.value, [&](char* buffer, std::size_t size) {
            return ::fgetxattr(handle, attribute.name.c_str(), buffer, size);
        });
        // An access list that cannot be read is kept as one that cannot be
        // set either: the output then gets only what every entry allowed.
        if (!read && attribute.name != AccessList)
            continue;
        if (!read)
            attribute.value.clear();
        result.push_back(std::move(attribute));
    }
    return result;
}

AttributesDropped KeepAttributes(NativeHandle to, const FileStatus& status, const ExtendedAttributes& attributes,
                                 const FileStatus* toNow)
{
    AttributesDropped dropped;
    FileStatus now;
    if (toNow != nullptr)
        now = *toNow;
    else if (!StatHandle(to, now))
        return dropped;
    // Owner and group first: a change of owner clears the set-ID bits and
    // the capabilities, which are given afterwards. Root may give any
    // owner; others may give a group they belong to.
    bool ownerKept = now.owner == status.owner;
    bool groupKept = now.group == status.group;
    if (!ownerKept && ::fchown(to, status.owner, status.group) == 0)
        ownerKept = groupKept = true;
    if (!groupKept && ::fchown(to, static_cast<uid_t>(-1), status.group) == 0)
        groupKept = true;

    // A program that would run as someone it does not belong to is no copy
    // of the original.
    unsigned mode = status.mode & 07777;
    if (!ownerKept)
        mode &= ~static_cast<unsigned>(S_ISUID);
    if (!ownerKept || !groupKept)
        mode &= ~static_cast<unsigned>(S_ISGID);
    dropped.setIdBits = mode != (status.mode & 07777);

    // With an access list, the group bits are its mask and say nothing of
    // what the owning group itself may do.
    unsigned owningGroup = (mode >> 3) & 7;
    if (const ExtendedAttribute* list = Find(attributes, AccessList)) {
        ListGrants grants;
        const bool known = ReadList(list->value, grants);
        if (known)
            owningGroup = grants.owningGroup;
        if (!known || ::fsetxattr(to, AccessList, list->value.data(), list->value.size(), 0) != 0) {
            // Its named users and groups now fall on the group and other
            // bits, which must not give any of them more than it had.
            dropped.accessList = true;
            const unsigned group = known ? grants.owningGroup & grants.namedUsers : 0;
            const unsigned other = known ? mode & grants.narrowest : 0;
            mode = (mode & ~077u) | group << 3 | other;
            owningGroup = group;
        }
    }
    // Under another group, the members of the original's count as others:
    // those must not get more than that group had, and the new group gets
    // nothing. With an access list the mask closes its entries as well.
    if (!groupKept)
        mode &= ~070u & ~(7u & ~owningGroup);

    for (const ExtendedAttribute& attribute : attributes) {
        if (attribute.name == AccessList || attribute.name == DefaultList ||
            (attribute.name == Capabilities && !ownerKept))
            continue;
        // Attributes this user may not set, or this file system cannot
        // hold, are left out: the output then has what any new file gets.
        (void)::fsetxattr(to, attribute.name.c_str(), attribute.value.data(), attribute.value.size(), 0);
    }
    // A mode that cannot be given leaves the file as private as it was
    // written.
    (void)::fchmod(to, static_cast<mode_t>(mode));
    SetFileTimes(to, status);
    return dropped;
}

} // namespace tessarin::platform
