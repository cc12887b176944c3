#pragma once
#include "foundation/ErrorHandler.h"
#include "EngineApi.h"
#include "selection/FileFind.h"

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

    // While on, the action may put off work that many files can share (such
    // as making their outputs durable together) and do it when it sees fit;
    // turning it off does whatever is still put off. Off by default: then
    // every Run finishes its file completely.
    virtual void ShareWork(bool on) { (void)on; }
    // True when the last Run put its file's work off: the file is neither
    // done nor failed yet.
    virtual bool ResultPending() const { return false; }
    // Files of earlier Runs whose put-off work has since been done: how many
    // are done (with their bytes) and how many failed (each reported by the
    // action). Taking them resets the tally.
    struct Settled {
        std::uint32_t files = 0;
        std::uint32_t bytes = 0;
        std::uint32_t errors = 0;
    };
    virtual Settled TakeSettled() { return {}; }
};

} // namespace tessarin
