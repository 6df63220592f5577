#include "widgets/settings_store.h"

#include <QSettings>

namespace tavrel {

namespace {

bool HasSettingsFolder() {
    return !qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME") || !qEnvironmentVariableIsEmpty("HOME");
}

QString MemoryKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

}  // namespace

QString SettingsStore::Read(const QString& section, const QString& key,
                            const QString& fallback) const {
    if (!HasSettingsFolder()) {
        return inMemory_.value(MemoryKey(section, key), fallback);
    }
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrel"),
                       QStringLiteral("Tavrel"));
    settings.beginGroup(section);
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : fallback;
}

bool SettingsStore::Write(const QString& section, const QString& key, const QString& value) {
    if (!HasSettingsFolder()) {
        inMemory_.insert(MemoryKey(section, key), value);
        return true;
    }
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrel"),
                       QStringLiteral("Tavrel"));
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.sync();
    // A store whose old contents could not all be parsed is still written
    // afresh; only a failed write is a failure.
    return settings.status() != QSettings::AccessError;
}

}  // namespace tavrel
