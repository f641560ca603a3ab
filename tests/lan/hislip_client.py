"""A HiSLIP 2.0 client of the tests' own: both channels, TLS on them after
AsyncStartTLS and StartTLS (Python's ssl), and SASL sign-in over them with
SCRAM-SHA-256 or PLAIN, written after RFC 5802 and RFC 4616.

As a program: hislip_client.py PORT CA_FILE MECHANISM USER PASSWORD signs in
once and prints AuthenticationResult's control code and payload."""
import base64
import hashlib
import hmac
import os
import socket
import ssl
import struct
import sys


def message(kind, control=0, parameter=0, payload=b""):
    return struct.pack(">2sBBIQ", b"HS", kind, control, parameter, len(payload)) + payload


def receive(sock):
    head = b""
    while len(head) < 16:
        part = sock.recv(16 - len(head))
        if not part:
            raise ConnectionError("closed")
        head += part
    _, kind, control, parameter, length = struct.unpack(">2sBBIQ", head)
    body = b""
    while len(body) < length:
        part = sock.recv(length - len(body))
        if not part:
            raise ConnectionError("closed")
        body += part
    return kind, control, parameter, body


class Hislip:
    """Both channels of a HiSLIP 2.0 session, TLS on them once started."""

    def __init__(self, port, source="127.0.0.1"):
        self.sync = socket.create_connection(("127.0.0.1", port), 5, (source, 0))
        self.sync.sendall(message(0, 0, (0x0200 << 16) | 0x4E56, b"hislip0"))
        kind, self.features, parameter, _ = receive(self.sync)
        self.session = parameter & 0xFFFF
        self.asyn = socket.create_connection(("127.0.0.1", port), 5, (source, 0))
        self.asyn.sendall(message(17, 0, self.session))
        _, self.offered, _, _ = receive(self.asyn)
        self.id = 0xFFFFFF00

    def start_tls(self, context):
        self.asyn.sendall(message(29, 1, self.id, struct.pack(">I", self.id)))
        kind, control, _, _ = receive(self.asyn)
        if (kind, control) != (30, 1):
            return (kind, control)
        self.asyn = context.wrap_socket(self.asyn, server_hostname="localhost")
        self.sync.sendall(message(28))
        self.sync = context.wrap_socket(self.sync, server_hostname="localhost")
        return (kind, control)

    def sign_in(self, mechanism, user, password):
        self.sync.sendall(message(34))
        _, _, _, offered = receive(self.sync)
        self.sync.sendall(message(36, 0, 0, mechanism.encode()))
        if mechanism == "PLAIN":
            self.sync.sendall(message(37, 0, 0, b"\0" + user.encode() + b"\0" + password.encode()))
            kind, control, _, body = receive(self.sync)
            return offered, kind, control, body
        nonce = base64.b64encode(os.urandom(18)).decode()
        first_bare = f"n={user},r={nonce}"
        self.sync.sendall(message(37, 0, 0, ("n,," + first_bare).encode()))
        kind, control, _, server_first = receive(self.sync)
        if kind != 37:
            return offered, kind, control, server_first
        fields = dict(f.split("=", 1) for f in server_first.decode().split(","))
        salted = hashlib.pbkdf2_hmac("sha256", password.encode(), base64.b64decode(fields["s"]),
                                     int(fields["i"]))
        client_key = hmac.digest(salted, b"Client Key", "sha256")
        without_proof = f"c=biws,r={fields['r']}"
        auth = f"{first_bare},{server_first.decode()},{without_proof}".encode()
        signature = hmac.digest(hashlib.sha256(client_key).digest(), auth, "sha256")
        proof = bytes(a ^ b for a, b in zip(client_key, signature))
        self.sync.sendall(message(37, 0, 0, (without_proof + ",p=" +
                                             base64.b64encode(proof).decode()).encode()))
        kind, control, _, final = receive(self.sync)
        server_key = hmac.digest(salted, b"Server Key", "sha256")
        expected = b"v=" + base64.b64encode(hmac.digest(server_key, auth, "sha256"))
        if kind == 38 and control == 1 and final != expected:
            return offered, kind, "a server that does not know the password", final
        return offered, kind, control, final

    def ask(self, text):
        self.sync.sendall(message(7, 1, self.id, text.encode() + b"\n"))
        self.id = (self.id + 2) & 0xFFFFFFFF
        if not text.split(";")[-1].strip().endswith("?"):
            return None
        kind, control, parameter, body = receive(self.sync)
        return body.decode().strip() if kind == 7 else (kind, body)

    def close(self):
        for s in (self.sync, self.asyn):
            try:
                s.close()
            except OSError:
                pass




if __name__ == "__main__":
    port, ca_file, mechanism, user, password = sys.argv[1:6]
    session = Hislip(int(port))
    session.start_tls(ssl.create_default_context(cafile=ca_file))
    _, kind, control, body = session.sign_in(mechanism, user, password)
    print(kind, control, body.decode(errors="replace"))
    session.close()
