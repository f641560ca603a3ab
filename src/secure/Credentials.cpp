#include "Credentials.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gsasl.h>
#include <sodium.h>
#include <sys/stat.h>

#include "SafeFile.h"

namespace {

constexpr qint64 kMaxFile = 1024 * 1024;

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

QByteArray Hash(const QByteArray& password) {
    char hash[crypto_pwhash_STRBYTES] = {};
    if (!SodiumReady() || crypto_pwhash_str(hash, password.constData(),
                                            static_cast<unsigned long long>(password.size()),
                                            crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                            crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return QByteArray(hash);
}

bool Verify(const QByteArray& hash, const QByteArray& password) {
    return SodiumReady() &&
           crypto_pwhash_str_verify(hash.constData(), password.constData(),
                                    static_cast<unsigned long long>(password.size())) == 0;
}

constexpr int kScramIterations = 4096;
constexpr int kSaltBytes = 16;

// "scram-sha-256:ITERATIONS:SALT:STOREDKEY:SERVERKEY"
bool ParseScram(const QByteArray& text, Credentials::Scram& scram) {
    const QList<QByteArray> f = text.split(':');
    bool ok = false;
    if (f.size() != 5 || f[0] != "scram-sha-256")
        return false;
    scram.iterations = f[1].toInt(&ok);
    scram.salt = f[2];
    scram.storedKey = f[3];
    scram.serverKey = f[4];
    const auto key = [](const QByteArray& k) {
        const auto d = QByteArray::fromBase64Encoding(k, QByteArray::AbortOnBase64DecodingErrors);
        return d && d.decoded.size() == 32;
    };
    return ok && scram.iterations >= 4096 && scram.iterations <= 1000000 &&
           !QByteArray::fromBase64(scram.salt).isEmpty() && key(scram.storedKey) &&
           key(scram.serverKey);
}

QByteArray ScramText(const Credentials::Scram& s) {
    return "scram-sha-256:" + QByteArray::number(s.iterations) + ':' + s.salt + ':' + s.storedKey +
           ':' + s.serverKey;
}

bool MakeScram(const QByteArray& password, const QByteArray& salt, Credentials::Scram& scram) {
    char salted[GSASL_HASH_MAX_SIZE], client[GSASL_HASH_MAX_SIZE], server[GSASL_HASH_MAX_SIZE],
        stored[GSASL_HASH_MAX_SIZE];
    if (gsasl_scram_secrets_from_password(GSASL_HASH_SHA256, password.constData(), kScramIterations,
                                          salt.constData(), static_cast<size_t>(salt.size()),
                                          salted, client, server, stored) != GSASL_OK)
        return false;
    const qsizetype n = GSASL_HASH_SHA256_SIZE;
    scram.iterations = kScramIterations;
    scram.salt = salt.toBase64();
    scram.storedKey = QByteArray(stored, n).toBase64();
    scram.serverKey = QByteArray(server, n).toBase64();
    sodium_memzero(salted, sizeof salted);
    sodium_memzero(client, sizeof client);
    return true;
}

} // namespace

QString Credentials::DefaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/nv815-panel/users";
}

bool Credentials::NameAllowed(const QString& name) {
    static const QRegularExpression allowed("^[A-Za-z0-9._-]{1,32}$");
    return allowed.match(name).hasMatch();
}

bool Credentials::load(const QString& file, QString& error) {
    users_.clear();
    const QFileInfo info(file);
    if (!info.exists())
        return true;
    struct stat st = {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        info.size() > kMaxFile) {
        error = file + " is no file of users";
        return false;
    }
    if (st.st_mode & (S_IRWXG | S_IRWXO)) {
        error = file + " may be read or written by others than its owner (chmod 600 it)";
        return false;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        error = file + " cannot be read: " + in.errorString();
        return false;
    }
    return read(in.readAll(), file, error);
}

bool Credentials::read(const QByteArray& text, const QString& file, QString& error) {
    users_.clear();
    int line = 0;
    for (const QByteArray& raw : text.split('\n')) {
        ++line;
        if (raw.trimmed().isEmpty())
            continue;
        const qsizetype colon = raw.indexOf(':');
        const QString name = QString::fromUtf8(raw.left(colon));
        const QList<QByteArray> fields = raw.mid(colon + 1).trimmed().split(' ');
        User user{fields[0], {}};
        if (colon < 0 || !NameAllowed(name) || !user.hash.startsWith("$argon2") ||
            fields.size() > 2 || (fields.size() == 2 && !ParseScram(fields[1], user.scram))) {
            error =
                QString("%1, line %2: no user (NAME:HASH scram-sha-256:...)").arg(file).arg(line);
            users_.clear();
            return false;
        }
        users_[name] = user;
    }
    return true;
}

QByteArray Credentials::text() const {
    QByteArray text;
    for (auto u = users_.begin(); u != users_.end(); ++u) {
        text += u.key().toUtf8() + ':' + u.value().hash;
        if (u.value().scram.iterations > 0)
            text += ' ' + ScramText(u.value().scram);
        text += '\n';
    }
    return text;
}

bool Credentials::save(const QString& file, QString& error) const {
    const QByteArray text = this->text();
    const QFileInfo info(file);
    if (!info.dir().exists() && !info.dir().mkpath(".")) {
        error = "the folder of " + file + " cannot be made";
        return false;
    }
    if (!ReplaceOwnerOnlyFile(QFile::encodeName(file).toStdString(), text.toStdString())) {
        error = file + " could not be written";
        return false;
    }
    return true;
}

bool Credentials::set(const QString& name, const QByteArray& password, QString& error) {
    if (!NameAllowed(name)) {
        error = "'" + name + "' is no user name (letters, digits, '.', '_' and '-', 1 to 32)";
        return false;
    }
    if (password.isEmpty()) {
        error = "an empty password is none";
        return false;
    }
    User user{Hash(password), {}};
    QByteArray salt(kSaltBytes, 0);
    randombytes_buf(salt.data(), static_cast<size_t>(salt.size()));
    if (user.hash.isEmpty() || !MakeScram(password, salt, user.scram)) {
        error = "the password could not be hashed (out of memory)";
        return false;
    }
    users_[name] = user;
    return true;
}

bool Credentials::remove(const QString& name) {
    return users_.remove(name) > 0;
}

Credentials::Scram Credentials::scram(const QString& name) const {
    // A salt that stays the same for the name through this run, and keys
    // of a password nobody knows: made for a known name too, so both take
    // as long.
    static QByteArray secret;
    if (secret.isEmpty()) {
        secret = QByteArray(32, 0);
        if (SodiumReady())
            randombytes_buf(secret.data(), static_cast<size_t>(secret.size()));
    }
    QByteArray salt(crypto_generichash_BYTES, 0);
    const QByteArray n = name.toUtf8();
    crypto_generichash(reinterpret_cast<unsigned char*>(salt.data()), crypto_generichash_BYTES,
                       reinterpret_cast<const unsigned char*>(n.constData()),
                       static_cast<unsigned long long>(n.size()),
                       reinterpret_cast<const unsigned char*>(secret.constData()),
                       static_cast<size_t>(secret.size()));
    Scram fake;
    MakeScram(secret.toHex(), salt.left(kSaltBytes), fake);
    const auto known = users_.find(name);
    return known != users_.end() && known.value().scram.iterations > 0 ? known.value().scram : fake;
}

bool Credentials::check(const QString& name, const QByteArray& password) const {
    // An unknown name is checked against a hash of its own, as long as a known one.
    static const QByteArray nobody = Hash("nobody's password");
    const auto known = users_.find(name);
    const bool matches = Verify(known == users_.end() ? nobody : known.value().hash, password);
    return matches && known != users_.end();
}
