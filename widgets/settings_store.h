#pragma once

#include <QHash>
#include <QString>

namespace tavrel {

// The per-user settings store: strings by section and key, under
// organisation and application "Tavrel", in the system's native format (on
// Linux $XDG_CONFIG_HOME/Tavrel/Tavrel.conf, by default under $HOME/.config).
// A process with neither variable set has no folder of its own to keep
// settings in (Qt would take the top of the file system): the store then
// holds them in memory for this run only and writes nothing.
class SettingsStore {
  public:
    // The stored value, or fallback when the entry is missing.
    QString Read(const QString& section, const QString& key, const QString& fallback) const;
    // Creates or replaces the entry; false when the store could not be written.
    bool Write(const QString& section, const QString& key, const QString& value);

  private:
    QHash<QString, QString> inMemory_;  // by "section/key"
};

}  // namespace tavrel
