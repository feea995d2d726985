#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

namespace pagorra {

class RegistrySection;

// The per-user store of named text values, kept in one JSON file:
// company key -> application -> section -> value name -> { "type": code, "data": ... }.
// Type 1 is a string; values of other types (4 is a 32-bit number) may be present, are kept
// and make a read fail. Everything the program does not know about is kept on every write.
//
// Failures throw RuntimeError with the numbers of the store's table (err::ApplicationBase +
// 1000..1002 for empty names, + 2000 + errno for file failures, + 2000 + type code for a
// value that is not a string); the description is the table's text followed by the file and
// what is wrong with it. A file that cannot be parsed is renamed aside (never overwritten)
// and reported with EBADMSG; a read-only store reports it and leaves it where it is.
class RegistryStore {
  public:
    static QString companyKey();     // "Software\Halvorn Imaging"
    static QString defaultAppName(); // "Arvok Pagorra"
    // $XDG_CONFIG_HOME/pagorra/settings.json (default ~/.config), looked up on each call.
    static QString defaultPath();

    RegistryStore();
    explicit RegistryStore(QString filePath, QString appName = defaultAppName());

    const QString &filePath() const { return m_filePath; }

    // A read-only store never changes anything on disk: reads leave an unparsable file in
    // place, and writes raise EROFS without creating the file or its folder.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }

    // The stored text of value `key` in `section`, or `defaultValue` when the file, the
    // section or the value does not exist. Never creates anything.
    QString getValue(const QString &section, const QString &key, const QString &defaultValue) const;
    // The whole section as the file holds it now, read with one opening of the file: a large
    // file costs one parse however many values are then looked up.
    RegistrySection readSection(const QString &section) const;
    // Several sections with one opening of the file, in the order asked for.
    QList<RegistrySection> readSections(const QStringList &sections) const;

    // Stores `value` as a string, creating the file and the section when missing.
    void setValue(const QString &section, const QString &key, const QString &value) const;
    // Stores several values with one atomic replacement of the file: all or none.
    void setValues(const QString &section, const QList<std::pair<QString, QString>> &values) const;
    // The same for values of several sections, still in one replacement: all or none.
    using SectionValues = std::pair<QString, QList<std::pair<QString, QString>>>;
    void setSections(const QList<SectionValues> &sections) const;

    // Removes the temporary copies that writes of processes killed since left beside the file.
    // A read-only store leaves them.
    void removeOrphanedTemporaries() const;

  private:
    QString m_filePath;
    QString m_appName;
    bool m_readOnly = false;
};

// One section of the store as it was read; looking values up never touches the disk.
class RegistrySection {
  public:
    // As RegistryStore::getValue(), on the values read.
    QString value(const QString &key, const QString &defaultValue) const;

  private:
    friend class RegistryStore;
    QString m_filePath;
    QJsonObject m_values;
};

// The store operations on the default per-user file.
QString getRegistryValue(const QString &section, const QString &key, const QString &defaultValue);
void setRegistryValue(const QString &section, const QString &key, const QString &value);

} // namespace pagorra
