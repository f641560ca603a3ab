// The users who may change the card over the network: each a name, a
// password hash (libsodium's Argon2id string, never the password) and the
// SCRAM-SHA-256 verifiers a SASL exchange checks a proof against (salt,
// iteration count, StoredKey, ServerKey: RFC 5802's, from which the
// password cannot be had either), kept in a file only its owner may read
// and write: "NAME:HASH scram-sha-256:ITERATIONS:SALT:STOREDKEY:SERVERKEY".
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
    // The users of a file's text (`file` names it in the reason).
    bool read(const QByteArray& text, const QString& file, QString& error);
    // The text save() writes.
    QByteArray text() const;
    // Writes every user, the file mode 0600, replaced whole or not at all.
    bool save(const QString& file, QString& error) const;

    // Adds `name`, or gives it a new password; false with the reason.
    bool set(const QString& name, const QByteArray& password, QString& error);
    bool remove(const QString& name);
    QStringList users() const { return users_.keys(); }
    bool empty() const { return users_.isEmpty(); }

    // A user's SCRAM-SHA-256 verifiers (salt and keys in base64, as GNU
    // SASL takes them). An unknown name, or one kept without them, is given
    // verifiers no password matches, made the same way each time, so an
    // exchange for it looks like one for a known name.
    struct Scram {
        int iterations = 0;
        QByteArray salt, storedKey, serverKey;
    };
    Scram scram(const QString& name) const;

    // Whether `password` is `name`'s. An unknown name takes as long as a
    // known one, and the hash comparison is libsodium's own.
    bool check(const QString& name, const QByteArray& password) const;

private:
    struct User {
        QByteArray hash;
        Scram scram;
    };
    QMap<QString, User> users_;
};
