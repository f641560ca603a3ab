// The users who may change the card over the network: each a name and a
// password hash (libsodium's Argon2id string, never the password), kept in
// a file only its owner may read and write.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

class Credentials {
public:
    // nv815-panel/users in the user's configuration folder.
    static QString DefaultFile();
    // Letters, digits, '.', '_' and '-', 1 to 32 of them.
    static bool NameAllowed(const QString& name);

    // Reads `file` (none yet: no user); false with the reason when a line
    // is no user or others may read or write the file.
    bool load(const QString& file, QString& error);
    // Writes every user, the file mode 0600, replaced whole or not at all.
    bool save(const QString& file, QString& error) const;

    // Adds `name`, or gives it a new password; false with the reason.
    bool set(const QString& name, const QByteArray& password, QString& error);
    bool remove(const QString& name);
    QStringList users() const { return hashes_.keys(); }

    // Whether `password` is `name`'s. An unknown name takes as long as a
    // known one, and the hash comparison is libsodium's own.
    bool check(const QString& name, const QByteArray& password) const;

private:
    QMap<QString, QByteArray> hashes_;
};
