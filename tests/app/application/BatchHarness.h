#pragma once
// Runs whole batches the way a drop does, on real temporary folders, with a
// recording user interface in place of the window: every box, the wait
// cursor, the progress display and its texts are kept in the order they
// happened. HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR point into a fresh
// folder for the life of a harness.
#include "FakeDisplay.h"
#include "UserEnvironment.h"
#include "application/AppSettings.h"
#include "application/BatchRun.h"
#include "application/BatchUi.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessarin::test {

class FakeBatchUi : public BatchUi {
public:
    // The display cancels, as a user pressing Cancel, after that many
    // progress reports (never when negative).
    explicit FakeBatchUi(int cancelAfterPumps = -1, int threshold = DefaultThreshold);

    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<ProgressDisplay> OpenProgress(const ProgressRequest& request) override;
    int MessageThreshold() const override { return m_threshold; }

    // Boxes of the batch and of the display, in order.
    std::vector<FakeDisplay::Message> m_boxes;
    // "wait", "end wait", "progress", "dismiss", "box TITLE: TEXT" and
    // "display box TITLE: TEXT" in the order they happened.
    std::vector<std::string> m_events;
    std::vector<ProgressRequest> m_requests;
    // Called when the batch opens its display: the list exists then.
    std::function<void()> m_onProgress;
    FakeDisplay m_display;
    int m_cursorDepth = 0;
    bool m_displayAlive = false;

private:
    class Proxy;
    int m_threshold;
};

class BatchHarness {
public:
    BatchHarness();

    // The settings of a first start with the log in the data folder.
    AppSettings m_settings;
    FakeBatchUi m_ui;
    // Files at work at once: one, so that a display's cancel falls on a
    // known file, unless a test asks for more.
    int m_jobs = 1;

    std::string Data(const std::string& name) const { return m_data / name; }
    const std::string& DataFolder() const { return m_data.Path(); }
    std::string LogPath() const { return m_data / "log.txt"; }
    const std::string& RuntimeDir() const { return m_runtime; }

    // Writes seeded bytes under the data folder, creating folders as needed.
    std::vector<std::uint8_t> Make(const std::string& name, std::size_t length, std::uint32_t seed = 1);

    BatchReport Run(const std::vector<std::string>& names, const std::string& password = "secret");
    BatchReport Run(const std::vector<std::string>& names, const std::string& password,
                    const std::string& confirmation);

    // Names of the boxes' texts with a title, in order.
    std::vector<std::string> Boxes(const std::string& title) const;
    std::string Log() const;  // the whole log file, or "" when there is none

private:
    UserEnvironment m_env;
    TempFolder m_data;
    std::string m_runtime;
};

// A folder with the program's modules (links to the built ones) that the
// module loader is pointed at for its life; a test removes or damages some.
class ModuleFolder {
public:
    ModuleFolder();
    ~ModuleFolder();
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;

    // The file that stands for a logical name ("aes16.dll") in the folder.
    std::string Path(const std::string& module) const;
    void Remove(const std::string& module) const;
    // Replaces the link by a copy whose version entry from is renamed to.
    void RenameEntry(const std::string& module, const std::string& from, const std::string& to) const;

private:
    TempFolder m_folder;
};

// The log's lines, split at CR LF; a missing final CR LF leaves the last
// piece as a line of its own.
std::vector<std::string> LogLines(const std::string& text);

} // namespace tessarin::test
