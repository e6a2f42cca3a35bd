#pragma once

#include "settingkeys.h"

#include <QString>
#include <map>
#include <memory>

class QSettings;

// The per-user store of everything remembered between runs: text values addressed by
// application, section and key. Every save is on disk when it returns. A store that cannot be
// read or written is reported once on stderr; the program goes on with what it has in memory.
class SettingsStore
{
public:
    static const QString kApplication; // "ZEL-VANTO"
    static const QString kSection;     // "Settings"

    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The stored text, or `defaultText` when the key is absent.
    QString GetSetting(const QString &application, const QString &section, const QString &key,
                       const QString &defaultText);
    // Creates or replaces the value and writes it through to disk.
    void SaveSetting(const QString &application, const QString &section, const QString &key,
                     const QString &text);

    // Typed reads of this program's keys; a stored text that does not convert reads as the
    // key's default.
    QString text(const SettingKey &key);
    float single(const SettingKey &key);
    bool boolean(const SettingKey &key);
    qint16 int16(const SettingKey &key);
    double real(const SettingKey &key);

    void save(const SettingKey &key, const QString &text);
    void saveSingle(const SettingKey &key, float value);
    void saveInt16(const SettingKey &key, qint16 value);

    // Where the values of this program live (a file path, or a registry key).
    QString location();

    // The text conversions, shared by reads and writes.
    static bool toSingle(const QString &text, float &value);
    static bool toBoolean(const QString &text, bool &value);
    static bool toInt16(const QString &text, qint16 &value);
    static bool toDouble(const QString &text, double &value);
    static QString fromSingle(float value);

private:
    struct Area
    {
        std::unique_ptr<QSettings> settings;
        std::map<QString, QString> unsaved; // saves that could not take the lock yet
    };

    Area &areaFor(const QString &application);
    bool lockAvailable(const QSettings &settings);
    static constexpr int kLockWaitMs = 250;

    void keepDamagedCopy(const QSettings &settings);
    static void reportText(const QString &file, const QString &what);
    void reportProblem(const QSettings &settings);

    std::map<QString, Area> m_areas;
    QString m_damagedCopy;
    bool m_reported = false;
};
