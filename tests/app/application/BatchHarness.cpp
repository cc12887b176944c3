#include "BatchHarness.h"

#include "platform/Module.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace tessarin::test {

class FakeBatchUi::Proxy : public ProgressDisplay {
public:
    explicit Proxy(FakeBatchUi& ui) : m_ui(ui) { m_ui.m_displayAlive = true; }
    ~Proxy() override { m_ui.m_displayAlive = false; }
    Proxy(const Proxy&) = delete;
    Proxy& operator=(const Proxy&) = delete;

    void SetRange(int lower, int upper, int step) override { m_ui.m_display.SetRange(lower, upper, step); }
    void SetStatusText(const std::string& text) override { m_ui.m_display.SetStatusText(text); }
    int OffsetPos(int amount) override { return m_ui.m_display.OffsetPos(amount); }
    void PumpEvents(bool escapeCancels) override { m_ui.m_display.PumpEvents(escapeCancels); }
    bool IsCancelled() const override { return m_ui.m_display.IsCancelled(); }
    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override
    {
        m_ui.m_events.push_back("display box " + title + ": " + text);
        m_ui.m_boxes.push_back({text, title, icon});
    }
    void Dismiss() override
    {
        m_ui.m_events.push_back("dismiss");
        m_ui.m_display.Dismiss();
    }

private:
    FakeBatchUi& m_ui;
};

FakeBatchUi::FakeBatchUi(int cancelAfterPumps, int threshold) : m_display(cancelAfterPumps), m_threshold(threshold) {}

void FakeBatchUi::ShowMessage(const std::string& text, const std::string& title, BoxIcon icon)
{
    m_events.push_back("box " + title + ": " + text);
    m_boxes.push_back({text, title, icon});
}

void FakeBatchUi::BeginWaitCursor()
{
    ++m_cursorDepth;
    m_events.push_back("wait");
}

void FakeBatchUi::EndWaitCursor()
{
    --m_cursorDepth;
    m_events.push_back("end wait");
}

std::unique_ptr<ProgressDisplay> FakeBatchUi::OpenProgress(const ProgressRequest& request)
{
    m_requests.push_back(request);
    m_events.push_back("progress");
    if (m_onProgress)
        m_onProgress();
    return std::make_unique<Proxy>(*this);
}

BatchHarness::BatchHarness() : m_runtime(m_env.RuntimeDir())
{
    m_settings.LoadSettings();
    m_settings.editLogFilename = QString::fromStdString(LogPath());
}

std::vector<std::uint8_t> BatchHarness::Make(const std::string& name, std::size_t length, std::uint32_t seed)
{
    const std::string path = Data(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto bytes = SeededBytes(length, seed);
    WriteBytes(path, bytes);
    return bytes;
}

BatchReport BatchHarness::Run(const std::vector<std::string>& names, const std::string& password)
{
    return Run(names, password, password);
}

BatchReport BatchHarness::Run(const std::vector<std::string>& names, const std::string& password,
                              const std::string& confirmation)
{
    RunChoices choices;
    choices.jobs = m_jobs;
    return RunBatch(names, password, confirmation, m_settings, m_ui, choices);
}

std::vector<std::string> BatchHarness::Boxes(const std::string& title) const
{
    std::vector<std::string> texts;
    for (const auto& box : m_ui.m_boxes) {
        if (box.title == title)
            texts.push_back(box.text);
    }
    return texts;
}

std::string BatchHarness::Log() const
{
    if (!Exists(LogPath()))
        return {};
    const auto bytes = ReadBytes(LogPath());
    return std::string(bytes.begin(), bytes.end());
}

ModuleFolder::ModuleFolder()
{
    for (const char* module : {"engine.dll", "aes16.dll", "aes24.dll", "aes32.dll", "zlib.dll", "bzip2.dll"})
        std::filesystem::create_symlink(platform::Module::Locate(module), Path(module));
    platform::Module::SetSearchFolder(m_folder.Path());
}

ModuleFolder::~ModuleFolder()
{
    platform::Module::SetSearchFolder("");
}

std::string ModuleFolder::Path(const std::string& module) const
{
    return m_folder / platform::Module::FileNameFor(module);
}

void ModuleFolder::Remove(const std::string& module) const
{
    std::filesystem::remove(Path(module));
}

void ModuleFolder::RenameEntry(const std::string& module, const std::string& from, const std::string& to) const
{
    const std::string path = Path(module);
    auto bytes = ReadBytes(path);
    std::filesystem::remove(path);
    std::string needle = from;
    needle.push_back('\0');
    // Every copy of the name: a debug build holds more than the block's.
    bool found = false;
    for (auto it = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()); it != bytes.end();
         it = std::search(it + 1, bytes.end(), needle.begin(), needle.end())) {
        std::copy(to.begin(), to.end(), it);
        found = true;
    }
    if (!found || to.size() != from.size())
        throw std::runtime_error("no entry " + from + " in " + module);
    WriteBytes(path, bytes);
}

std::vector<std::string> LogLines(const std::string& text)
{
    // The log ends its lines as the platform does: LF alone here.
    EXPECT_EQ(text.find('\r'), std::string::npos) << "a CR in the log";
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace tessarin::test
