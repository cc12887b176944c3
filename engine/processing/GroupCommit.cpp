// The shared durable commit of a folder's outputs and the held lines of
// their files.
#include "processing/GroupCommit.h"

#include <algorithm>
#include <utility>

namespace tessarin {

namespace {

// Handles on files about to be deleted or replaced, held until then and
// closed aside together: the release of their blocks does not hold up the
// batch, and the helpers are woken once for the lot.
class HeldAside {
public:
    HeldAside() = default;
    ~HeldAside() { platform::CloseAside(m_handles); }
    HeldAside(const HeldAside&) = delete;
    HeldAside& operator=(const HeldAside&) = delete;
    // Takes the file's own handle: it is closed here, not by the file.
    void Hold(MyFile& file)
    {
        if (!file.IsOpen())
            return;
        if (m_handles.size() == m_handles.capacity())
            m_handles.reserve(2 * m_handles.size() + 4);  // so that the push cannot lose the handle
        m_handles.push_back(file.Detach());
    }

private:
    std::vector<platform::NativeHandle> m_handles;
};

} // namespace

GroupCommit::Block* GroupCommit::Held()
{
    if (m_routeTo != NoBlock)
        return &m_blocks[m_routeTo - m_firstBlock];
    if (!m_blocks.empty() && m_blocks.back().open)
        return &m_blocks.back();
    return nullptr;
}

void GroupCommit::BeginFile()
{
    m_currentPutOff = false;
    // Lines go out as they come while no earlier file's lines wait: the
    // display follows the work, and a file that is not put off costs
    // nothing. A file handed off keeps all of them for the batch.
    if ((m_sharing && !m_blocks.empty()) || m_handOff)
        m_blocks.push_back(Block{});
}

void GroupCommit::EndFile()
{
    m_currentPutOff = false;
    if (m_blocks.empty() || !m_blocks.back().open)
        return;
    m_blocks.back().open = false;
    if (!m_handOff)
        Release();
}

void GroupCommit::Show(const std::string& text, int level)
{
    if (level <= MyStream::LevelStep)
        m_stepLine = text;
    if (Block* block = Held()) {
        block->pieces.push_back({Piece::Kind::Show, text, level});
        // The display may follow the work; the log waits for the commit.
        if (m_sink)
            m_sink->DoPreview(text, level);
    } else if (m_sink) {
        m_sink->Show(text, level);
    }
}

void GroupCommit::Update(const std::string& text, int level)
{
    if (Block* block = Held())
        block->pieces.push_back({Piece::Kind::Update, text, level});
    else if (m_sink)
        m_sink->Update(text, level);
}

void GroupCommit::Fail(const ErrorHandler& e)
{
    if (Block* block = Held())
        block->pieces.push_back({Piece::Kind::Fail, {}, MyStream::LevelError, e});
    else if (m_sink)
        m_sink->Fail(e);
}

void GroupCommit::PutOff(Item item, const std::string& folder, const std::string& okText)
{
    // From here on this file's lines wait for its commit.
    if (m_blocks.empty() || !m_blocks.back().open)
        m_blocks.push_back(Block{});
    Block& block = m_blocks.back();
    block.waiting = true;
    block.okAt = block.pieces.size();
    block.okText = okText;
    m_folder = folder;
    // The display may tell the step done, as it is; the log tells it once
    // the output is in place.
    if (m_sink)
        m_sink->DoPreview(m_stepLine + okText, MyStream::LevelStep);
    m_items.push_back(std::move(item));
    m_itemBlocks.push_back(m_firstBlock + m_blocks.size() - 1);
    m_currentPutOff = true;
}

std::size_t GroupCommit::MostPutOff()
{
    static const std::size_t most = std::clamp<std::size_t>(platform::HandleLimit() / 16, 1, MaxPutOff);
    return most;
}

bool GroupCommit::IsFull() const
{
    return m_items.size() >= MostPutOff();
}

GroupCommit::Item* GroupCommit::Current()
{
    return m_currentPutOff && !m_items.empty() ? &m_items.back() : nullptr;
}

GroupCommit::Handed GroupCommit::TakeHanded()
{
    Handed handed;
    if (!m_blocks.empty())
        handed.block = std::move(m_blocks.back());
    handed.block.open = false;
    if (!m_items.empty())
        handed.item.emplace(std::move(m_items.back()));
    handed.folder = m_folder;
    m_blocks.clear();
    m_items.clear();
    m_itemBlocks.clear();
    m_firstBlock = 0;
    m_currentPutOff = false;
    return handed;
}

void GroupCommit::Adopt(Handed handed)
{
    handed.block.waiting = handed.item.has_value();
    m_blocks.push_back(std::move(handed.block));
    if (handed.item) {
        m_folder = handed.folder;
        m_items.push_back(std::move(*handed.item));
        m_itemBlocks.push_back(m_firstBlock + m_blocks.size() - 1);
    }
    Release();
}

void GroupCommit::Done(const Item& item)
{
    if (item.failed)
        return;
    ++m_settled.files;
    m_settled.bytes += item.counted;
}

void GroupCommit::Commit(bool wiping, const Steps& steps)
{
    if (m_items.empty())
        return;
    std::vector<Item> items = std::move(m_items);
    const std::vector<std::size_t> blocks = std::move(m_itemBlocks);
    m_items.clear();
    m_itemBlocks.clear();
    m_currentPutOff = false;
    const auto blockOf = [&](std::size_t i) -> Block& { return m_blocks[blocks[i] - m_firstBlock]; };
    const auto endStep = [&](std::size_t i, Piece piece) {
        Block& block = blockOf(i);
        block.pieces.insert(block.pieces.begin() + static_cast<std::ptrdiff_t>(block.okAt), std::move(piece));
    };

    // The outputs reach the disk before any of them takes its name, and
    // the names reach it before any original goes: at every instant each
    // file is whole under its own name, or under the output's, or both.
    std::vector<TempFile*> temps;
    for (Item& item : items)
        temps.push_back(&item.temp);
    const bool synced = items.size() > 1 && TempFile::SyncTogether(temps);
    HeldAside held;

    std::vector<bool> committed(items.size(), false);
    for (std::size_t i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        m_routeTo = blocks[i];
        // A file replaced under its own name goes at the rename.
        if (item.target == item.madeFrom) {
            if (!(item.wipeReplaced && wiping))
                held.Hold(item.source);
            item.source.Close();
        }
        // The step's line ends when its output is in place, or with the
        // error that kept it out; what the step went on to say follows.
        try {
            steps.putInPlace(item);
            committed[i] = true;
            endStep(i, {Piece::Kind::Update, blockOf(i).okText, MyStream::LevelStep});
        } catch (const ErrorHandler& e) {
            // The error ends the step's line: what the step said of an
            // output that never took its name goes, the rollback follows.
            Block& block = blockOf(i);
            block.pieces.erase(block.pieces.begin() + static_cast<std::ptrdiff_t>(block.okAt), block.pieces.end());
            if (item.temp.IsPending())
                steps.discard(item.temp);
            Fail(e);
            m_settled.errors += item.failed ? 0 : 1;
        }
        m_routeTo = NoBlock;
    }
    if (synced && std::find(committed.begin(), committed.end(), true) != committed.end())
        platform::SyncFolderOf(items.front().target);

    for (std::size_t i = 0; i < items.size(); ++i) {
        Item& item = items[i];
        if (!committed[i])
            continue;
        if (!item.deleteOriginal) {
            Done(item);
            continue;
        }
        if (!wiping)
            held.Hold(item.source);
        item.source.Close();
        m_routeTo = blocks[i];
        try {
            steps.deleteOriginal(item);
            Done(item);
        } catch (const ErrorHandler& e) {
            Fail(e);
            m_settled.errors += item.failed ? 0 : 1;
        }
        m_routeTo = NoBlock;
    }
    for (const std::size_t block : blocks)
        m_blocks[block - m_firstBlock].waiting = false;
    Release();
}

void GroupCommit::Release()
{
    while (!m_blocks.empty() && !m_blocks.front().open && !m_blocks.front().waiting) {
        const Block block = std::move(m_blocks.front());
        m_blocks.pop_front();
        ++m_firstBlock;
        for (const Piece& piece : block.pieces)
            Write(piece);
    }
}

void GroupCommit::Write(const Piece& piece)
{
    if (!m_sink)
        return;
    switch (piece.kind) {
    case Piece::Kind::Show: m_sink->Show(piece.text, piece.level); break;
    case Piece::Kind::Update: m_sink->Update(piece.text, piece.level); break;
    case Piece::Kind::Fail: m_sink->Fail(piece.error); break;
    }
}

MyObject::Settled GroupCommit::TakeSettled()
{
    return std::exchange(m_settled, MyObject::Settled{});
}

} // namespace tessarin
