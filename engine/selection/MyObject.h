#pragma once
#include "foundation/ErrorHandler.h"
#include "EngineApi.h"
#include "platform/FileFind.h"

#include <cstdint>

namespace tessarin {

// A per-file action applied by MyFinder to every file of a search or list.
class ENGINE_API MyObject {
public:
    MyObject() = default;
    MyObject(const MyObject&) = default;
    MyObject& operator=(const MyObject&) = default;
    virtual ~MyObject() = default;

    virtual void Run(const CFileFind& found) = 0;      // the enumerator sits on one file
    virtual std::uint32_t GetSize() const = 0;         // bytes to count for the last Run
    virtual bool ResultOk() const = 0;                 // whether the last Run succeeded

    // Something the search met and does not hand on, with why: a name that
    // was asked for (named: given by the user) or an entry met on the way.
    // Nothing by default.
    virtual void Skip(const ErrorHandler& why, bool named) { (void)why, (void)named; }
};

} // namespace tessarin
