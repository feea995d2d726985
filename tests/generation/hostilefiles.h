#pragma once

#include <QList>
#include <QString>

// Files made as an attacker would make them, written fresh into a folder: each costs an
// unguarded decoder gigabytes or minutes, or is not a picture at all.
struct HostileFile {
    QString kind;         // a short name, for messages
    QString path;         // may hold escape sequences, a newline and bytes that are not UTF-8
    bool picture = false; // true only for a real picture under a hostile name
};

QList<HostileFile> writeHostileFiles(const QString &folder);
