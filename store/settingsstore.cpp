#include "settingsstore.h"

#include "platform/settingslocation.h"

#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <cmath>
#include <cstdio>
#include <limits>

const QString SettingsStore::kApplication = QStringLiteral("ZEL-VANTO");
const QString SettingsStore::kSection = QStringLiteral("Settings");

SettingsStore::SettingsStore() = default;
SettingsStore::~SettingsStore() = default;

SettingsStore::Area &SettingsStore::areaFor(const QString &application)
{
    Area &area = m_areas[application];
    if (!area.settings) {
        area.settings = platform::openUserSettings(application);
        area.settings->allKeys(); // reads the file now, so that damage shows before any save
        if (area.settings->status() == QSettings::FormatError)
            keepDamagedCopy(*area.settings);
        reportProblem(*area.settings);
    }
    return area;
}

void SettingsStore::keepDamagedCopy(const QSettings &settings)
{
    // The next save rewrites the file with what could be read from it; keep the original bytes
    // beside it so that nothing the user had is lost.
    const QString file = settings.fileName();
    QString copy = file + QStringLiteral(".damaged");
    for (int n = 2; QFile::exists(copy); ++n)
        copy = file + QStringLiteral(".damaged-%1").arg(n);
    m_damagedCopy = QFile::copy(file, copy) ? copy : QString();
}

void SettingsStore::reportProblem(const QSettings &settings)
{
    if (m_reported || settings.status() == QSettings::NoError)
        return;
    m_reported = true;
    QString what;
    if (settings.status() == QSettings::AccessError) {
        what = QStringLiteral("cannot be written (read-only, locked, or its folder cannot be "
                              "made); going on without saving to it");
    } else {
        what = QStringLiteral("is damaged; going on with what could be read from it");
        if (!m_damagedCopy.isEmpty())
            what += QStringLiteral(", the original kept as ") + m_damagedCopy;
    }
    reportText(settings.fileName(), what);
}

void SettingsStore::reportText(const QString &file, const QString &what)
{
    std::fprintf(stderr, "ZEL-VANTO: settings file %s %s\n", qPrintable(file), qPrintable(what));
    std::fflush(stderr);
}

bool SettingsStore::lockAvailable(const QSettings &settings)
{
    if (settings.format() != QSettings::IniFormat)
        return true;
    // QSettings waits for its lock file without a time limit, also when it flushes on
    // destruction; a lock that cannot be taken (held by a hung process, or its path blocked)
    // would freeze the window or the exit. Look first.
    QLockFile lock(settings.fileName() + QStringLiteral(".lock"));
    if (lock.tryLock(kLockWaitMs) || lock.error() != QLockFile::LockFailedError)
        return true;
    if (!m_reported) {
        m_reported = true;
        reportText(settings.fileName(), QStringLiteral("cannot be written (its lock file cannot "
                                                       "be taken); going on without saving to it"));
    }
    return false;
}

QString SettingsStore::GetSetting(const QString &application, const QString &section,
                                  const QString &key, const QString &defaultText)
{
    Area &area = areaFor(application);
    const QString path = section + QLatin1Char('/') + key;
    if (const auto unsaved = area.unsaved.find(path); unsaved != area.unsaved.end())
        return unsaved->second;
    area.settings->sync(); // pick up what another copy of the program wrote meanwhile
    reportProblem(*area.settings);
    const QVariant value = area.settings->value(path);
    if (!value.isValid())
        return defaultText;
    // A hand-edited value with an unquoted comma reads as a list; keep its text rather than
    // lose it.
    if (value.metaType().id() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SettingsStore::SaveSetting(const QString &application, const QString &section,
                                const QString &key, const QString &text)
{
    Area &area = areaFor(application);
    const QString path = section + QLatin1Char('/') + key;
    if (!lockAvailable(*area.settings)) {
        // Held here, never queued in QSettings, so that nothing waits on the lock; written
        // with the next save that can take it.
        area.unsaved[path] = text;
        return;
    }
    for (const auto &[unsavedPath, unsavedText] : area.unsaved)
        area.settings->setValue(unsavedPath, unsavedText);
    area.unsaved.clear();
    area.settings->setValue(path, text);
    area.settings->sync();
    reportProblem(*area.settings);
}

QString SettingsStore::location()
{
    return areaFor(kApplication).settings->fileName();
}

QString SettingsStore::text(const SettingKey &key)
{
    return GetSetting(kApplication, kSection, key.name, key.defaultText);
}

namespace {

template <typename T, typename Convert>
T typedRead(SettingsStore &store, const SettingKey &key, Convert convert)
{
    T value{};
    if (convert(store.text(key), value))
        return value;
    convert(key.defaultText, value);
    return value;
}

} // namespace

float SettingsStore::single(const SettingKey &key)
{
    return typedRead<float>(*this, key, &SettingsStore::toSingle);
}

bool SettingsStore::boolean(const SettingKey &key)
{
    return typedRead<bool>(*this, key, &SettingsStore::toBoolean);
}

qint16 SettingsStore::int16(const SettingKey &key)
{
    return typedRead<qint16>(*this, key, &SettingsStore::toInt16);
}

double SettingsStore::real(const SettingKey &key)
{
    return typedRead<double>(*this, key, &SettingsStore::toDouble);
}

void SettingsStore::save(const SettingKey &key, const QString &text)
{
    SaveSetting(kApplication, kSection, key.name, text);
}

void SettingsStore::saveSingle(const SettingKey &key, float value)
{
    save(key, fromSingle(value));
}

void SettingsStore::saveInt16(const SettingKey &key, qint16 value)
{
    save(key, QString::number(value));
}

bool SettingsStore::toDouble(const QString &text, double &value)
{
    bool ok = false;
    const double parsed = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool SettingsStore::toSingle(const QString &text, float &value)
{
    double parsed = 0;
    if (!toDouble(text, parsed) || std::fabs(parsed) > std::numeric_limits<float>::max())
        return false;
    value = static_cast<float>(parsed);
    return true;
}

bool SettingsStore::toInt16(const QString &text, qint16 &value)
{
    double parsed = 0;
    if (!toDouble(text, parsed))
        return false;
    // Fractions round half to even, as the classic integer conversion does.
    const double rounded = std::nearbyint(parsed);
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        return false;
    value = static_cast<qint16>(rounded);
    return true;
}

bool SettingsStore::toBoolean(const QString &text, bool &value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
        trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        value = trimmed.size() == 4;
        return true;
    }
    double parsed = 0;
    if (!toDouble(trimmed, parsed))
        return false;
    value = parsed != 0;
    return true;
}

QString SettingsStore::fromSingle(float value)
{
    // Whole twips, the normal case, are written as plain integers ("1000", "-150").
    if (std::isfinite(value) && std::fabs(value) < 1e7f && value == std::trunc(value))
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 7);
}
