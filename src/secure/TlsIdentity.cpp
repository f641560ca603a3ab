#include "TlsIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QStandardPaths>
#include <QtEndian>
#include <ctime>
#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <memory>
#include <sys/stat.h>

#include "SafeFile.h"

namespace {

constexpr qint64 kMaxPem = 256 * 1024;
constexpr time_t kTenYears = time_t(10) * 365 * 24 * 3600;

struct Crt {
    gnutls_x509_crt_t p = nullptr;
    Crt() { gnutls_x509_crt_init(&p); }
    ~Crt() { gnutls_x509_crt_deinit(p); }
};
struct Key {
    gnutls_x509_privkey_t p = nullptr;
    Key() { gnutls_x509_privkey_init(&p); }
    ~Key() { gnutls_x509_privkey_deinit(p); }
};

QString Text(int code) {
    return QString::fromUtf8(gnutls_strerror(code));
}

gnutls_datum_t Datum(const QByteArray& bytes) {
    return {reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData())),
            static_cast<unsigned>(bytes.size())};
}

QByteArray Taken(gnutls_datum_t& d) {
    QByteArray out(reinterpret_cast<const char*>(d.data), static_cast<qsizetype>(d.size));
    gnutls_free(d.data);
    return out;
}

bool ReadPem(const QString& file, QByteArray& out, QString& error) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        error = file + " cannot be read: " + in.errorString();
        return false;
    }
    out = in.read(kMaxPem + 1);
    if (out.size() > kMaxPem || !out.contains("-----BEGIN ")) {
        error = file + " holds no PEM certificate or key";
        return false;
    }
    return true;
}

// Its fingerprint and its public key's pin.
bool Describe(TlsIdentity& id, QString& error) {
    Crt crt;
    const gnutls_datum_t d = Datum(id.certificate);
    if (const int r = gnutls_x509_crt_import(crt.p, &d, GNUTLS_X509_FMT_PEM); r < 0) {
        error = "the certificate cannot be read: " + Text(r);
        return false;
    }
    unsigned char buf[64];
    size_t size = sizeof buf;
    if (gnutls_x509_crt_get_fingerprint(crt.p, GNUTLS_DIG_SHA256, buf, &size) < 0)
        return false;
    id.fingerprint = "SHA256 " + QString::fromLatin1(QByteArray(reinterpret_cast<char*>(buf),
                                                                static_cast<qsizetype>(size))
                                                         .toHex(':')
                                                         .toUpper());
    size = sizeof buf;
    if (gnutls_x509_crt_get_key_id(crt.p, GNUTLS_KEYID_USE_SHA256, buf, &size) < 0)
        return false;
    id.publicKeyPin =
        "sha256//" +
        QString::fromLatin1(
            QByteArray(reinterpret_cast<char*>(buf), static_cast<qsizetype>(size)).toBase64());
    return true;
}

bool Matches(const QByteArray& certificate, const QByteArray& key, QString& error) {
    Crt crt;
    Key k;
    const gnutls_datum_t c = Datum(certificate), p = Datum(key);
    if (const int r = gnutls_x509_crt_import(crt.p, &c, GNUTLS_X509_FMT_PEM); r < 0) {
        error = "the certificate cannot be read: " + Text(r);
        return false;
    }
    if (const int r = gnutls_x509_privkey_import2(k.p, &p, GNUTLS_X509_FMT_PEM, nullptr, 0);
        r < 0) {
        error = "the key cannot be read (" + Text(r) + "); it must be PEM, not encrypted";
        return false;
    }
    unsigned char a[64], b[64];
    size_t sa = sizeof a, sb = sizeof b;
    if (gnutls_x509_crt_get_key_id(crt.p, GNUTLS_KEYID_USE_SHA256, a, &sa) < 0 ||
        gnutls_x509_privkey_get_key_id(k.p, GNUTLS_KEYID_USE_SHA256, b, &sb) < 0 || sa != sb ||
        memcmp(a, b, sa) != 0) {
        error = "the key is not the certificate's";
        return false;
    }
    return true;
}

void AddNames(gnutls_x509_crt_t crt, const QStringList& hostNames, const QStringList& addresses) {
    QStringList names{"localhost"};
    for (const QString& n : hostNames)
        if (!n.isEmpty() && !names.contains(n))
            names << n;
    for (const QString& n : names) {
        const QByteArray a = n.toUtf8();
        gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_DNSNAME, a.constData(),
                                             static_cast<unsigned>(a.size()), GNUTLS_FSAN_APPEND);
    }
    QStringList ips{"127.0.0.1", "::1"};
    for (const QString& a : addresses)
        if (!ips.contains(a))
            ips << a;
    for (const QString& ip : ips) {
        const QHostAddress h(ip);
        if (h.protocol() == QAbstractSocket::IPv4Protocol) {
            const quint32 v = qToBigEndian(h.toIPv4Address());
            gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_IPADDRESS, &v, 4,
                                                 GNUTLS_FSAN_APPEND);
        } else if (h.protocol() == QAbstractSocket::IPv6Protocol) {
            const Q_IPV6ADDR v = h.toIPv6Address();
            gnutls_x509_crt_set_subject_alt_name(crt, GNUTLS_SAN_IPADDRESS, v.c, 16,
                                                 GNUTLS_FSAN_APPEND);
        }
    }
}

// A new P-256 key and a certificate it signs itself, as PEM.
bool Make(const QStringList& hostNames, const QStringList& addresses, QByteArray& certificate,
          QByteArray& key, QString& error) {
    Key k;
    Crt crt;
    int r = gnutls_x509_privkey_generate(k.p, GNUTLS_PK_ECDSA,
                                         GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1), 0);
    unsigned char serial[16];
    if (r >= 0)
        r = gnutls_rnd(GNUTLS_RND_NONCE, serial, sizeof serial);
    serial[0] &= 0x7F;
    const time_t now = time(nullptr);
    const QByteArray cn =
        "CN=" + (hostNames.value(0).isEmpty() ? QByteArray("localhost") : hostNames[0].toUtf8()) +
        ",O=nv815-panel";
    const auto ok = [&r](int v) {
        if (r >= 0)
            r = v;
    };
    ok(gnutls_x509_crt_set_version(crt.p, 3));
    ok(gnutls_x509_crt_set_serial(crt.p, serial, sizeof serial));
    ok(gnutls_x509_crt_set_activation_time(crt.p, now - 3600));
    ok(gnutls_x509_crt_set_expiration_time(crt.p, now + kTenYears));
    ok(gnutls_x509_crt_set_dn(crt.p, cn.constData(), nullptr));
    ok(gnutls_x509_crt_set_key(crt.p, k.p));
    ok(gnutls_x509_crt_set_basic_constraints(crt.p, 0, -1));
    ok(gnutls_x509_crt_set_key_usage(crt.p, GNUTLS_KEY_DIGITAL_SIGNATURE));
    ok(gnutls_x509_crt_set_key_purpose_oid(crt.p, GNUTLS_KP_TLS_WWW_SERVER, 0));
    if (r >= 0)
        AddNames(crt.p, hostNames, addresses);
    unsigned char id[64];
    size_t idSize = sizeof id;
    ok(gnutls_x509_crt_get_key_id(crt.p, 0, id, &idSize));
    ok(gnutls_x509_crt_set_subject_key_id(crt.p, id, idSize));
    ok(gnutls_x509_crt_sign2(crt.p, crt.p, k.p, GNUTLS_DIG_SHA256, 0));
    gnutls_datum_t c{}, p{};
    ok(gnutls_x509_crt_export2(crt.p, GNUTLS_X509_FMT_PEM, &c));
    if (r < 0) {
        error = "no certificate could be made: " + Text(r);
        return false;
    }
    certificate = Taken(c);
    ok(gnutls_x509_privkey_export2(k.p, GNUTLS_X509_FMT_PEM, &p));
    if (r < 0) {
        error = "no certificate could be made: " + Text(r);
        return false;
    }
    key = Taken(p);
    return true;
}

bool OwnerOnly(const QString& file) {
    struct stat st = {};
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace

QString TlsIdentity::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/nv815-panel";
}

std::optional<TlsIdentity> TlsIdentity::Load(const QString& certificateFile, const QString& keyFile,
                                             QString& error) {
    TlsIdentity id;
    if (!ReadPem(certificateFile, id.certificate, error) || !ReadPem(keyFile, id.key, error))
        return std::nullopt;
    QString why;
    if (!Matches(id.certificate, id.key, why) || !Describe(id, why)) {
        error = certificateFile + " and " + keyFile + ": " + why;
        return std::nullopt;
    }
    id.certificateFile = certificateFile;
    return id;
}

std::optional<TlsIdentity> TlsIdentity::Own(const QString& folder, const QStringList& hostNames,
                                            const QStringList& addresses, QString& error) {
    const QString certFile = folder + "/tls-certificate.pem", keyFile = folder + "/tls-key.pem";
    if (QFileInfo::exists(keyFile)) {
        if (!OwnerOnly(keyFile)) {
            error = keyFile + " may be read or written by others than its owner (chmod 600 it)";
            return std::nullopt;
        }
        auto id = Load(certFile, keyFile, error);
        if (id)
            id->selfSigned = true;
        return id;
    }
    TlsIdentity id;
    if (!Make(hostNames, addresses, id.certificate, id.key, error))
        return std::nullopt;
    // The certificate first: the key's file is what says both are kept.
    if (!QDir().mkpath(folder) ||
        !ReplaceOwnerOnlyFile(QFile::encodeName(certFile).toStdString(),
                              id.certificate.toStdString()) ||
        !ReplaceOwnerOnlyFile(QFile::encodeName(keyFile).toStdString(), id.key.toStdString())) {
        error = "the certificate could not be kept in " + folder;
        return std::nullopt;
    }
    Describe(id, error);
    id.certificateFile = certFile;
    id.selfSigned = true;
    return id;
}
