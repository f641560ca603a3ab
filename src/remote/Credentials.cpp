#include "Credentials.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
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
    hashes_.clear();
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
    int line = 0;
    for (const QByteArray& raw : in.readAll().split('\n')) {
        ++line;
        if (raw.trimmed().isEmpty())
            continue;
        const qsizetype colon = raw.indexOf(':');
        const QString name = QString::fromUtf8(raw.left(colon));
        const QByteArray hash = raw.mid(colon + 1).trimmed();
        if (colon < 0 || !NameAllowed(name) || !hash.startsWith("$argon2")) {
            error = QString("%1, line %2: no user (NAME:HASH)").arg(file).arg(line);
            hashes_.clear();
            return false;
        }
        hashes_[name] = hash;
    }
    return true;
}

bool Credentials::save(const QString& file, QString& error) const {
    QByteArray text;
    for (auto u = hashes_.begin(); u != hashes_.end(); ++u)
        text += u.key().toUtf8() + ':' + u.value() + '\n';
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
    const QByteArray hash = Hash(password);
    if (hash.isEmpty()) {
        error = "the password could not be hashed (out of memory)";
        return false;
    }
    hashes_[name] = hash;
    return true;
}

bool Credentials::remove(const QString& name) {
    return hashes_.remove(name) > 0;
}

bool Credentials::check(const QString& name, const QByteArray& password) const {
    // An unknown name is checked against a hash of its own, as long as a known one.
    static const QByteArray nobody = Hash("nobody's password");
    const auto known = hashes_.find(name);
    const bool matches = Verify(known == hashes_.end() ? nobody : known.value(), password);
    return matches && known != hashes_.end();
}
