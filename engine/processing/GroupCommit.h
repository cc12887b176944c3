#pragma once
// The shared durable commit of a folder's outputs, and the lines of their
// files held until it. A finished output waits under its temporary name;
// when the run leaves the folder, when too many wait for the handles the
// process may hold, or when sharing ends, all waiting outputs are flushed
// to disk together, renamed, the folder flushed once, and only then are the
// files they were made from deleted. The lines each file reports wait with
// it and are written at its commit, file by file, so that the log reads as
// if every file had been finished on its own: the step, its "[OK]" once the
// output is in place (or the error there), then the deletions. A file is
// counted done or failed only once its commit has settled it.
#include "EngineApi.h"
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/MyStream.h"
#include "platform/Files.h"
#include "scratch/TempFile.h"
#include "selection/MyObject.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessarin {

class ENGINE_API GroupCommit {
public:
    // Outputs that wait at most for one commit; fewer when the process may
    // hold few handles.
    static constexpr std::size_t MaxPutOff = 64;

    // An output complete in its temporary file, with what is left to do for
    // its file.
    struct Item {
        TempFile temp;
        // The listed file, still open: its last handle is closed aside when
        // it is deleted or replaced.
        MyFile source;
        std::string target;
        std::string madeFrom;  // the listed file it was made from
        platform::FileStatus madeFromStatus;
        bool mangled = false;
        bool wipeReplaced = false;
        bool deleteOriginal = false;  // the listed file goes once the output is in place
        std::uint32_t counted = 0;    // the bytes its Run reported
        // Its run failed after the output was complete (it then stands as
        // that run left it): counted as that failure, not as done.
        bool failed = false;
    };

    // What the commit asks of the pipeline's own file operations. Each one
    // throws what failed; its lines go to the item's file.
    struct Steps {
        std::function<void(Item&)> putInPlace;
        std::function<void(Item&)> deleteOriginal;
        std::function<void(TempFile&)> discard;
    };

    explicit GroupCommit(MyStream* sink) : m_sink(sink) {}
    // A copy reports to the same sink and starts with nothing put off:
    // waiting outputs and their handles have one owner.
    GroupCommit(const GroupCommit& other) : m_sink(other.m_sink), m_handOff(other.m_handOff) {}
    GroupCommit& operator=(const GroupCommit& other)
    {
        m_sink = other.m_sink;
        m_handOff = other.m_handOff;
        return *this;
    }

    void SetSink(MyStream* sink) { m_sink = sink; }
    void SetSharing(bool on) { m_sharing = on; }
    bool IsSharing() const { return m_sharing || m_handOff; }
    bool IsEmpty() const { return m_items.empty(); }
    // The folder the waiting outputs are in.
    const std::string& Folder() const { return m_folder; }

    // The lines of one file, from BeginFile to EndFile. While sharing, they
    // are held as long as an earlier file's lines wait, and from its
    // PutOff on until its commit.
    void BeginFile();
    void EndFile();
    void Show(const std::string& text, int level);
    void Update(const std::string& text, int level);
    void Fail(const ErrorHandler& e);

    // Puts off the current file's output. okText is what ends its step line
    // once the output is in place.
    void PutOff(Item item, const std::string& folder, const std::string& okText);
    // True when the waiting outputs hold as many handles as they may: each
    // holds three (its file, its lock and the listed file), and together
    // they keep to a small share of what the process may hold.
    bool IsFull() const;
    // The outputs one commit takes at most: MaxPutOff, or fewer when the
    // process may hold few handles.
    static std::size_t MostPutOff();
    // The current file's output, put off by this file's run (or null).
    Item* Current();

    // Commits everything put off, as described above, and writes the lines
    // of every file it settles.
    void Commit(bool wiping, const Steps& steps);

    // Files settled by commits since the last call; taking them resets them.
    MyObject::Settled TakeSettled();

    // Hand-off: a run made elsewhere (a worker of a parallel batch) keeps
    // each file's lines and output here and never commits; the batch's own
    // commit adopts them in the order of the list.
    struct Handed;
    void SetHandOff(bool on) { m_handOff = on; }
    bool IsHandOff() const { return m_handOff; }
    // The last file's lines and output, once its run has ended.
    Handed TakeHanded();
    // A file finished elsewhere, after every file adopted before it: its
    // lines follow theirs, its output waits for the next commit.
    void Adopt(Handed handed);

private:
    struct Piece {
        enum class Kind { Show, Update, Fail } kind;
        std::string text;
        int level = 0;
        ErrorHandler error{0};
    };
    struct Block {
        std::vector<Piece> pieces;
        bool open = true;      // its file's run is at work
        bool waiting = false;  // its output waits for a commit
        std::size_t okAt = 0;  // where the end of its step line goes
        std::string okText;
    };

public:
    struct Handed {
        Block block;
        std::optional<Item> item;
        std::string folder;  // the output's
    };

private:
    Block* Held();
    void Done(const Item& item);
    void Release();
    void Write(const Piece& piece);

    MyStream* m_sink;  // not owned
    bool m_sharing = false;
    bool m_handOff = false;
    std::string m_folder;
    std::vector<Item> m_items;
    std::vector<std::size_t> m_itemBlocks;  // the block of each item
    std::deque<Block> m_blocks;             // of files whose lines wait
    std::size_t m_firstBlock = 0;           // the number of m_blocks.front()
    std::string m_stepLine;  // the last step line shown, live or held
    bool m_currentPutOff = false;
    std::size_t m_routeTo = NoBlock;  // the block of the item at commit
    static constexpr std::size_t NoBlock = static_cast<std::size_t>(-1);
    MyObject::Settled m_settled;
};

} // namespace tessarin
