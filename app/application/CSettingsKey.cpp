#include "application/CSettingsKey.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace tessarin {

namespace {

constexpr qsizetype IntSize = 4;
constexpr qsizetype RectSize = 16;

QByteArray Image(std::initializer_list<std::int32_t> values)
{
    QByteArray bytes;
    for (const std::int32_t value : values) {
        const auto u = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            bytes.append(static_cast<char>((u >> (8 * i)) & 0xFFu));
    }
    return bytes;
}

std::int32_t Le32(const QByteArray& bytes, qsizetype at)
{
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return static_cast<std::int32_t>(u);
}

QString Find(const QStringList& names, const QString& wanted)
{
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    }
    return {};
}

} // namespace

std::string SettingsTextBytes(const SettingsText& text)
{
    return QFile::encodeName(text).toStdString();
}

SettingsText SettingsTextFromBytes(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

QString CSettingsKey::StoreFile(const QString& organisation, const QString& application)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        return {};  // no home and no configuration folder: no store, never a file at the root
    return folder + '/' + organisation + '/' + application + QStringLiteral(".ini");
}

CSettingsKey::CSettingsKey() : CSettingsKey(SettingsOrganisation, SettingsApplication) {}

CSettingsKey::CSettingsKey(const QString& organisation, const QString& application)
    : m_organisation(organisation), m_application(application)
{
}

CSettingsKey::~CSettingsKey()
{
    CloseKey();
}

bool CSettingsKey::OpenKey(const QString& path)
{
    CloseKey();
    if (StoreFile(m_organisation, m_application).isEmpty())
        return false;
    auto settings = std::make_unique<QSettings>(StoreFile(m_organisation, m_application), QSettings::IniFormat);
    if (settings->status() != QSettings::NoError)
        return false;
    const QString stored = Find(settings->childGroups(), path);
    if (stored.isEmpty())
        return false;
    settings->beginGroup(stored);
    m_settings = std::move(settings);
    m_path = stored;
    return true;
}

bool CSettingsKey::CreateKey(const QString& path)
{
    if (OpenKey(path))
        return true;
    if (StoreFile(m_organisation, m_application).isEmpty())
        return false;
    auto settings = std::make_unique<QSettings>(StoreFile(m_organisation, m_application), QSettings::IniFormat);
    if (settings->status() != QSettings::NoError || !settings->isWritable())
        return false;
    // A key is a group: it comes into being with its first value.
    settings->beginGroup(path);
    m_settings = std::move(settings);
    m_path = path;
    return true;
}

void CSettingsKey::CloseKey()
{
    if (!m_settings)
        return;
    m_settings->endGroup();
    m_settings->sync();
    m_closedOk = m_settings->status() == QSettings::NoError;
    m_settings.reset();
    m_path.clear();
}

QString CSettingsKey::StoredName(const QString& name) const
{
    const QString stored = m_settings ? Find(m_settings->childKeys(), name) : QString();
    return stored.isEmpty() ? name : stored;
}

bool CSettingsKey::ReadInt(const QString& name, std::int32_t& value) const
{
    if (!m_settings)
        return false;
    const QVariant stored = m_settings->value(StoredName(name));
    if (stored.typeId() != QMetaType::QByteArray)
        return false;
    const QByteArray bytes = stored.toByteArray();
    if (bytes.size() < IntSize)
        return false;
    value = Le32(bytes, 0);
    return true;
}

bool CSettingsKey::ReadString(const QString& name, QString& value) const
{
    if (!m_settings)
        return false;
    const QVariant stored = m_settings->value(StoredName(name));
    if (stored.typeId() != QMetaType::QString)
        return false;
    value = stored.toString();
    return true;
}

bool CSettingsKey::ReadRect(const QString& name, SettingsRect& rect) const
{
    if (!m_settings)
        return false;
    const QVariant stored = m_settings->value(StoredName(name));
    if (stored.typeId() != QMetaType::QByteArray)
        return false;
    const QByteArray bytes = stored.toByteArray();
    if (bytes.size() < RectSize)
        return false;
    rect = {Le32(bytes, 0), Le32(bytes, 4), Le32(bytes, 8), Le32(bytes, 12)};
    return true;
}

bool CSettingsKey::Write(const QString& name, const QVariant& value)
{
    if (!m_settings || !m_settings->isWritable())
        return false;
    const QString stored = StoredName(name);
    // Other spellings of the same name would shadow the value at the next
    // read: one name, one value.
    for (const QString& key : m_settings->childKeys()) {
        if (key != stored && key.compare(name, Qt::CaseInsensitive) == 0)
            m_settings->remove(key);
    }
    m_settings->setValue(stored, value);
    return true;
}

bool CSettingsKey::WriteInt(const QString& name, std::int32_t value)
{
    return Write(name, Image({value}));
}

bool CSettingsKey::WriteString(const QString& name, const QString& value)
{
    return Write(name, value);
}

bool CSettingsKey::WriteRect(const QString& name, const SettingsRect& rect)
{
    return Write(name, Image({rect.left, rect.top, rect.right, rect.bottom}));
}

} // namespace tessarin
