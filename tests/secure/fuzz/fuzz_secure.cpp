// Who may drive the card, as hostile bytes meet it: the first byte chooses
// the users file's reader (what it takes is written back and read again
// the same), a TLS server channel fed the rest in pieces (never plain text
// before a handshake), or a SASL exchange of a mechanism on offer fed the
// rest as the client's messages (nobody signed in without the password).
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "Credentials.h"
#include "SaslServer.h"
#include "TlsChannel.h"
#include "TlsIdentity.h"

namespace {

const Credentials& Users() {
    // alice, password s3cret, as --add-user keeps her.
    static const Credentials users = [] {
        Credentials made;
        QString error;
        made.read(
            "alice:$argon2id$v=19$m=65536,t=2,p=1$r/OyKshI7kLTxEZIT8bsZQ$JlnAMXh+tNSX9a1r1Gj4f6"
            "aeSZ7RWXZgIa5/p7eyaSc scram-sha-256:4096:ww1tttg6Az/OaFLuz/KKsQ==:O8Omdbz1rqYDawP"
            "Y1czdV21LeBgjKMvz79Z+8Y4JUJg=:O1nIg8riRLceCdx6BDTxFx30O8TgBjocj83PBj/5MoI=\n",
            "fuzz", error);
        return made;
    }();
    return users;
}

std::shared_ptr<TlsCredentials> Certificate() {
    static QTemporaryDir folder;
    static std::shared_ptr<TlsCredentials> made = [] {
        QString error;
        const auto id = TlsIdentity::Own(folder.path(), {}, {}, error);
        return id ? TlsCredentials::Make(*id, error) : nullptr;
    }();
    return made;
}

void UsersFile(const QByteArray& text) {
    Credentials users;
    QString error;
    if (!users.read(text, "fuzz", error)) {
        if (error.isEmpty() || !users.users().isEmpty())
            std::abort();
        return;
    }
    Credentials again;
    if (!again.read(users.text(), "fuzz", error) || again.text() != users.text())
        std::abort();
}

void Tls(const QByteArray& bytes, size_t piece) {
    TlsChannel channel(Certificate());
    QByteArray plain, wire;
    for (qsizetype at = 0; at < bytes.size(); at += qsizetype(piece))
        channel.take(bytes.constData() + at, size_t(std::min<qsizetype>(piece, bytes.size() - at)),
                     plain, wire);
    if (!plain.isEmpty()) // nothing in clear without a handshake only a real client makes
        std::abort();
}

void Sasl(const QByteArray& bytes, int mechanism) {
    SaslServer server(Users(), true);
    const QList<QByteArray> offered = server.mechanisms().split(' ');
    QString error;
    if (!server.start(offered[mechanism % offered.size()], error))
        std::abort();
    QByteArray out;
    auto step = SaslServer::Step::More;
    for (const QByteArray& message : bytes.split('\x01'))
        if ((step = server.step(message, out)) != SaslServer::Step::More)
            break;
    if (step == SaslServer::Step::Done && server.mechanism() != "ANONYMOUS" &&
        !bytes.contains("s3cret") && server.mechanism() != "SCRAM-SHA-256")
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0:
        UsersFile(rest);
        break;
    case 1:
        Tls(rest, 1 + data[0] / 3 % 64);
        break;
    default:
        Sasl(rest, data[0] / 3);
    }
    return 0;
}
