#include "application/AppSettings.h"
#include "UserEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <unistd.h>

namespace tessarin {
namespace {

using test::UserEnvironment;

// The 4-byte little-endian image of an integer, as the store must hold it.
QByteArray IntImage(std::int32_t value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF));
    return bytes;
}

QByteArray RectImage(const SettingsRect& r)
{
    return IntImage(r.left) + IntImage(r.top) + IntImage(r.right) + IntImage(r.bottom);
}

// Writes raw values into the store as another program (or a hand edit)
// would, through a QSettings that is gone before the test reads.
void Plant(const UserEnvironment& env, const QString& group, const std::vector<std::pair<QString, QVariant>>& values)
{
    QSettings store(env.SettingsFile(), QSettings::IniFormat);
    store.beginGroup(group);
    for (const auto& [name, value] : values)
        store.setValue(name, value);
    store.endGroup();
    store.sync();
    ASSERT_EQ(store.status(), QSettings::NoError);
}

struct IntegerField {
    const char* name;
    std::int32_t AppSettings::*field;
    std::int32_t byDefault;
};

// The defaults every first start must give, field by field.
const IntegerField IntegerFields[] = {
    {"encrypt", &AppSettings::encrypt, 0},
    {"checkLogging", &AppSettings::checkLogging, 1},
    {"checkMangling", &AppSettings::checkMangling, 0},
    {"checkRecursive", &AppSettings::checkRecursive, 1},
    {"checkSensive", &AppSettings::checkSensive, 1},
    {"checkWinOnTop", &AppSettings::checkWinOnTop, 1},
    {"checkMinimized", &AppSettings::checkMinimized, 0},
    {"checkWiping", &AppSettings::checkWiping, 0},
    {"checkChangeExt", &AppSettings::checkChangeExt, 1},
    {"checkKeepOriginal", &AppSettings::checkKeepOriginal, 0},
    {"checkFilterCompress", &AppSettings::checkFilterCompress, 0},
    {"checkFilterExclusion", &AppSettings::checkFilterExclusion, 0},
    {"comprFamily", &AppSettings::comprFamily, 0},
    {"comprLevel", &AppSettings::comprLevel, 2},
    {"comboBlockSize", &AppSettings::comboBlockSize, 2},
    {"comboKeyLen", &AppSettings::comboKeyLen, 2},
    {"comboOperMode", &AppSettings::comboOperMode, 0},
    {"zoomedIn", &AppSettings::zoomedIn, 0},
};

class Settings : public ::testing::Test {
protected:
    UserEnvironment m_env;
};

TEST_F(Settings, FirstStartGivesEveryDefault)
{
    AppSettings settings;
    settings.encrypt = 2;
    settings.editPattern = "x";
    settings.LoadSettings();
    for (const IntegerField& f : IntegerFields)
        EXPECT_EQ(settings.*f.field, f.byDefault) << f.name;
    EXPECT_EQ(settings.editLogFilename, QString::fromStdString(m_env.StateHome() + "/tessarin/log.txt"));
    EXPECT_EQ(settings.editPattern, "*");
    EXPECT_EQ(settings.editFilterExclusionList, "*.zip *.rar *.gz *.bz *.bz2 *.ace *.aes *.cab");
    // Loading never creates the store.
    EXPECT_FALSE(QFile::exists(m_env.SettingsFile()));

    SettingsRect rect{1, 2, 3, 4};
    EXPECT_FALSE(AppSettings::LoadWindowRect(rect));
    EXPECT_EQ(rect, (SettingsRect{1, 2, 3, 4}));
}

// The log outlives the session, in the user's state folder: not the
// runtime folder, which goes at logout.
TEST_F(Settings, DefaultLogFileIsInTheUsersStateFolder)
{
    m_env.Set("XDG_STATE_HOME", "/var/state");
    AppSettings settings;
    settings.LoadSettings();
    EXPECT_EQ(settings.editLogFilename, QStringLiteral("/var/state/tessarin/log.txt"));
    m_env.Set("XDG_STATE_HOME", std::nullopt);
    settings.LoadSettings();
    EXPECT_EQ(settings.editLogFilename, QString::fromStdString(m_env.Home() + "/.local/state/tessarin/log.txt"));
}

TEST_F(Settings, SaveHoldsEighteenIntegerImagesThreeStringsAndTheRectangle)
{
    AppSettings settings;
    settings.comboKeyLen = 7;
    settings.encrypt = -5;
    settings.editPattern = "*.txt";
    ASSERT_TRUE(settings.SaveSettings({10, -20, 400, 300}));

    QSettings fresh(m_env.SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(fresh.childGroups(), QStringList{"v1.1"});
    fresh.beginGroup("v1.1");
    EXPECT_EQ(fresh.childKeys().size(), 22);
    for (const IntegerField& f : IntegerFields) {
        const QVariant value = fresh.value(f.name);
        ASSERT_EQ(value.typeId(), QMetaType::QByteArray) << f.name;
        EXPECT_EQ(value.toByteArray(), IntImage(settings.*f.field)) << f.name;
    }
    for (const char* name : {"editLogFilename", "editPattern", "editFilterExclusionList"})
        EXPECT_EQ(fresh.value(name).typeId(), QMetaType::QString) << name;
    EXPECT_EQ(fresh.value("editPattern").toString(), "*.txt");
    EXPECT_EQ(fresh.value("winRect").toByteArray(), RectImage({10, -20, 400, 300}));
}

TEST_F(Settings, RoundTripThroughAFreshStore)
{
    struct Case {
        const char* what;
        std::function<void(AppSettings&)> change;
    };
    const Case cases[] = {
        {"every integer distinct",
         [](AppSettings& s) {
             std::int32_t n = 100;
             for (const IntegerField& f : IntegerFields)
                 s.*f.field = n++;
         }},
        {"out of range indices travel unchanged",
         [](AppSettings& s) {
             s.comboKeyLen = 7;
             s.comboBlockSize = -1;
             s.encrypt = 2147483647;
             s.comprLevel = -2147483647 - 1;
         }},
        {"strings the INI syntax could take apart",
         [](AppSettings& s) {
             s.editLogFilename = QString::fromUtf8("/home/u/log, \"quoted\"; =x [y] \\z @w ä€.txt");
             s.editPattern = "@ByteArray(*)";
             s.editFilterExclusionList = " leading and trailing ";
         }},
        {"empty strings", [](AppSettings& s) { s.editPattern.clear(), s.editFilterExclusionList.clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UserEnvironment env;  // a store of its own
        AppSettings saved;
        c.change(saved);
        ASSERT_TRUE(saved.SaveSettings({-1, -2, -3, -4}));
        AppSettings loaded;
        loaded.LoadSettings();
        for (const IntegerField& f : IntegerFields)
            EXPECT_EQ(loaded.*f.field, saved.*f.field) << f.name;
        EXPECT_EQ(loaded.editLogFilename, saved.editLogFilename);
        EXPECT_EQ(loaded.editPattern, saved.editPattern);
        EXPECT_EQ(loaded.editFilterExclusionList, saved.editFilterExclusionList);
        SettingsRect rect;
        EXPECT_TRUE(AppSettings::LoadWindowRect(rect));
        EXPECT_EQ(rect, (SettingsRect{-1, -2, -3, -4}));
    }
}

TEST_F(Settings, MissingOrWrongTypedValuesKeepTheirDefaults)
{
    struct Case {
        const char* name;
        QVariant stored;
        std::function<bool(const AppSettings&)> expect;
    };
    const Case cases[] = {
        {"comprLevel", QString("4"), [](const AppSettings& s) { return s.comprLevel == 2; }},
        {"comprLevel", 4, [](const AppSettings& s) { return s.comprLevel == 2; }},  // INI keeps it as text
        {"comprLevel", QByteArray("\x04\x00\x00", 3), [](const AppSettings& s) { return s.comprLevel == 2; }},
        {"comprLevel", QStringList{"4", "4"}, [](const AppSettings& s) { return s.comprLevel == 2; }},
        {"comprLevel", QByteArray("\x04\x00\x00\x00\x09\x09", 6), [](const AppSettings& s) { return s.comprLevel == 4; }},
        {"checkLogging", QByteArray(4, '\0'), [](const AppSettings& s) { return s.checkLogging == 0; }},
        {"editPattern", QByteArray("*.c"), [](const AppSettings& s) { return s.editPattern == "*"; }},
        {"editPattern", QStringList{"*.c", "*.h"}, [](const AppSettings& s) { return s.editPattern == "*"; }},
        {"editPattern", QString("*.c"), [](const AppSettings& s) { return s.editPattern == "*.c"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " as " + c.stored.typeName());
        UserEnvironment env;
        // A good value beside the bad one is still read.
        Plant(env, "v1.1", {{c.name, c.stored}, {"comboOperMode", IntImage(1)}});
        AppSettings settings;
        settings.LoadSettings();
        EXPECT_TRUE(c.expect(settings));
        EXPECT_EQ(settings.comboOperMode, 1);
    }
}

TEST_F(Settings, StringTypedIntegerIsIgnoredAndReplacedAtTheNextSave)
{
    Plant(m_env, "v1.1", {{"encrypt", QString("1")}});
    AppSettings settings;
    settings.LoadSettings();
    EXPECT_EQ(settings.encrypt, 0);
    ASSERT_TRUE(settings.SaveSettings({}));
    QSettings fresh(m_env.SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(fresh.value("v1.1/encrypt").typeId(), QMetaType::QByteArray);
    EXPECT_EQ(fresh.value("v1.1/encrypt").toByteArray(), IntImage(0));
}

TEST_F(Settings, NamesMatchWhateverTheCaseOfTheirLetters)
{
    Plant(m_env, "V1.1",
          {{"EDITFILTEREXCLUSIONLIST", QString("*.iso")}, {"ComboKeyLen", IntImage(0)}, {"WINRECT", RectImage({5, 6, 7, 8})}});
    AppSettings settings;
    settings.LoadSettings();
    EXPECT_EQ(settings.editFilterExclusionList, "*.iso");
    EXPECT_EQ(settings.comboKeyLen, 0);
    SettingsRect rect;
    EXPECT_TRUE(AppSettings::LoadWindowRect(rect));
    EXPECT_EQ(rect, (SettingsRect{5, 6, 7, 8}));

    settings.editFilterExclusionList = "*.img";
    ASSERT_TRUE(settings.SaveSettings({}));
    // One key, one value per name: the save wrote over the stored spellings.
    QSettings fresh(m_env.SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(fresh.childGroups(), QStringList{"V1.1"});
    fresh.beginGroup("V1.1");
    EXPECT_EQ(fresh.childKeys().size(), 22);
    EXPECT_EQ(fresh.value("EDITFILTEREXCLUSIONLIST").toString(), "*.img");
    EXPECT_EQ(fresh.value("ComboKeyLen").toByteArray(), IntImage(0));
}

TEST_F(Settings, DuplicateSpellingsCollapseIntoOneValueAtSave)
{
    Plant(m_env, "v1.1", {{"editPattern", QString("*.a")}, {"EditPattern", QString("*.b")}});
    AppSettings settings;
    settings.LoadSettings();
    ASSERT_TRUE(settings.editPattern == "*.a" || settings.editPattern == "*.b");
    settings.editPattern = "*.c";
    ASSERT_TRUE(settings.SaveSettings({}));
    AppSettings again;
    again.LoadSettings();
    EXPECT_EQ(again.editPattern, "*.c");
}

TEST_F(Settings, WindowRectangleNeedsSixteenBytes)
{
    struct Case {
        QVariant stored;
        bool read;
        SettingsRect expected;
    };
    const SettingsRect untouched{1, 1, 1, 1};
    const Case cases[] = {
        {RectImage({-3, -4, 0, 0}), true, {-3, -4, 0, 0}},
        {RectImage({9, 8, 7, 6}) + IntImage(5), true, {9, 8, 7, 6}},
        {RectImage({9, 8, 7, 6}).left(12), false, untouched},
        {QString("1 2 3 4"), false, untouched},
    };
    for (const Case& c : cases) {
        UserEnvironment env;
        Plant(env, "v1.1", {{"winRect", c.stored}});
        SettingsRect rect = untouched;
        EXPECT_EQ(AppSettings::LoadWindowRect(rect), c.read);
        EXPECT_EQ(rect, c.expected);
    }
}

TEST_F(Settings, UnwritableStoreLosesTheChangesQuietly)
{
    test::WriteBytes(m_env.ConfigHome() + "/Quenby Software", {'x'});  // a file where the folder belongs
    AppSettings settings;
    settings.encrypt = 1;
    EXPECT_FALSE(settings.SaveSettings({}));
    AppSettings loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.encrypt, 0);
}

} // namespace
} // namespace tessarin
