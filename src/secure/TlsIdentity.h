// The certificate and private key the program's TLS servers present (HTTPS,
// HiSLIP's secure connection): the operator's own files, or one the program
// makes itself at first use, signed by its own key and kept in the
// configuration folder where only its owner may read it. Clients that do
// not trust it pin it by its fingerprint.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

struct TlsIdentity {
    QByteArray certificate; // PEM
    QByteArray key;         // PEM
    QString certificateFile;
    bool selfSigned = false;
    // "SHA256 3F:A0:...": the certificate's own, as browsers show it.
    QString fingerprint;
    // "sha256//BASE64": its public key's, as curl's --pinnedpubkey and
    // Chromium's --ignore-certificate-errors-spki-list take it.
    QString publicKeyPin;

    // The folder the program's own certificate is kept in (nv815-panel in
    // the user's configuration folder).
    static QString DefaultFolder();
    // The operator's certificate and key (PEM files); none, with the
    // reason, when either cannot be read or they do not belong together.
    static std::optional<TlsIdentity> Load(const QString& certificateFile, const QString& keyFile,
                                           QString& error);
    // The program's own: tls-certificate.pem and tls-key.pem in `folder`,
    // made there (0600, each written whole or not at all) when they are
    // not; valid for localhost, `hostNames` and `addresses`.
    static std::optional<TlsIdentity> Own(const QString& folder, const QStringList& hostNames,
                                          const QStringList& addresses, QString& error);
};
