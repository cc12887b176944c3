// The status report that ends a batch: its summary with the information
// icon, then (as details) each error line with its file, and what else to
// check.
#include "BatchHarness.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

using test::BatchHarness;

TEST(StatusReport, TellsTheFirstFailureAndWhatToCheck)
{
    struct Case {
        const char* what;
        int direction;       // the "encrypt" setting
        bool containers;     // the files are containers of the password "secret"
        std::string password;
        BoxIcon icon;
        std::string firstError;  // empty: none
        bool hint;
        std::string name = "d/a";
    };
    const Case cases[] = {
        {"all files processed", 0, false, "secret", BoxIcon::Information, "", false},
        {"plain files forced to decryption", 1, false, "secret", BoxIcon::Information,
         "ERROR(-20): Not AES file or wrong passwd!", true},
        {"containers under another password", 1, true, "other", BoxIcon::Information,
         "ERROR(-20): Not AES file or wrong passwd!", true},
        {"containers forced to encryption", 0, true, "secret", BoxIcon::Information, "ERROR(-25): Already encrypted!",
         false},
        {"a file named like a break's error", 1, false, "secret", BoxIcon::Information,
         "ERROR(-20): Not AES file or wrong passwd!", true, "d/ERROR(-28): y.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BatchHarness h;
        h.Make(c.name, 3000, 1);
        if (c.containers) {
            h.m_settings.encrypt = 0;
            h.Run({h.Data(c.name)});
            ASSERT_TRUE(test::Exists(h.Data(c.name + ".aes")));
        }
        const std::string file = h.Data(c.containers ? c.name + ".aes" : c.name);
        h.m_ui.m_boxes.clear();
        h.m_settings.encrypt = c.direction;
        h.Run({file}, c.password);
        ASSERT_FALSE(h.m_ui.m_boxes.empty());
        const auto& box = h.m_ui.m_boxes.back();
        EXPECT_EQ(box.title, "STATUS REPORT");
        EXPECT_EQ(box.icon, c.icon);
        if (c.firstError.empty()) {
            EXPECT_EQ(box.text.find("ERROR("), std::string::npos) << box.text;
        } else {
            // The line names the file it is about.
            const auto at = box.text.find(c.firstError);
            ASSERT_NE(at, std::string::npos) << box.text;
            EXPECT_NE(box.text.rfind(file, at), std::string::npos) << box.text;
        }
        EXPECT_EQ(box.text.find("key length, block size and mode") != std::string::npos, c.hint) << box.text;
    }
}

} // namespace
} // namespace tessarin
