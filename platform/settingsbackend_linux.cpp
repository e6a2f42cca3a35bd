#include "diagnostics.h"
#include "settingsbackend.h"

#include <QFile>
#include <QLockFile>
#include <QSettings>

namespace platform {

namespace {

QString qText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The INI file $XDG_CONFIG_HOME/<application>/<application>.ini, through QSettings. Every write
// is on disk when it returns. A lock that cannot be taken within a quarter of a second fails the
// write instead of freezing the window.
class IniSettings final : public SettingsBackend
{
public:
    explicit IniSettings(std::string_view application)
        : m_settings(QSettings::IniFormat, QSettings::UserScope, qText(application),
                     qText(application))
    {
        m_settings.allKeys(); // reads the file now, so that damage shows before any save
        if (m_settings.status() == QSettings::FormatError)
            keepDamagedCopy();
        reportStatus();
    }

    std::optional<std::string> read(std::string_view section, std::string_view key) override
    {
        m_settings.sync(); // picks up what another copy of the program wrote meanwhile
        reportStatus();
        const QVariant value = m_settings.value(path(section, key));
        if (!value.isValid())
            return std::nullopt;
        // A hand-edited value with an unquoted comma reads as a list; keep its text.
        if (value.metaType().id() == QMetaType::QStringList)
            return value.toStringList().join(QLatin1Char(',')).toStdString();
        return value.toString().toStdString();
    }

    bool write(std::string_view section, const std::vector<StoredValue> &values) override
    {
        if (!lockAvailable())
            return false;
        for (const StoredValue &value : values)
            m_settings.setValue(path(section, value.key), qText(value.text));
        m_settings.sync();
        reportStatus();
        return m_settings.status() == QSettings::NoError;
    }

    std::string location() const override { return m_settings.fileName().toStdString(); }

private:
    static QString path(std::string_view section, std::string_view key)
    {
        return qText(section) + QLatin1Char('/') + qText(key);
    }

    void keepDamagedCopy()
    {
        // The next save rewrites the file with what could be read from it; keep the original
        // bytes beside it so that nothing the user had is lost.
        const QString file = m_settings.fileName();
        QString copy = file + QStringLiteral(".damaged");
        for (int n = 2; QFile::exists(copy); ++n)
            copy = file + QStringLiteral(".damaged-%1").arg(n);
        m_damagedCopy = QFile::copy(file, copy) ? copy : QString();
    }

    bool lockAvailable()
    {
        // QSettings waits for its lock file without a time limit, also when it flushes on
        // destruction. Look first.
        QLockFile lock(m_settings.fileName() + QStringLiteral(".lock"));
        if (lock.tryLock(250) || lock.error() != QLockFile::LockFailedError)
            return true;
        report("cannot be written (its lock file cannot be taken); going on without saving to it");
        return false;
    }

    void reportStatus()
    {
        switch (m_settings.status()) {
        case QSettings::NoError:
            return;
        case QSettings::AccessError:
            report("cannot be written (read-only, locked, or its folder cannot be made); going on "
                   "without saving to it");
            return;
        case QSettings::FormatError:
            report("is damaged; going on with what could be read from it" +
                   (m_damagedCopy.isEmpty()
                        ? std::string()
                        : ", the original kept as " + m_damagedCopy.toStdString()));
            return;
        }
    }

    void report(const std::string &what)
    {
        if (m_reported)
            return;
        m_reported = true;
        reportProblem("settings file " + location() + " " + what);
    }

    QSettings m_settings;
    QString m_damagedCopy;
    bool m_reported = false;
};

} // namespace

std::unique_ptr<SettingsBackend> openUserSettings(std::string_view application)
{
    return std::make_unique<IniSettings>(application);
}

} // namespace platform
