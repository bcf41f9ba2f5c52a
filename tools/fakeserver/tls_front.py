#!/usr/bin/env python3
"""Loopback TLS in front of a plain fake server, for the HTTPS tests.

  tls_front.py BACKEND_PORT REPORT_FILE [SECONDS]

Makes a throw-away test CA and server certificates with the openssl command,
listens on 127.0.0.1 once per certificate and relays each decrypted connection
to 127.0.0.1:BACKEND_PORT, where the test's own fake server answers and records.
Writes REPORT_FILE whole once listening: one line per listener, "<name> <port>",
then "ca <base64 DER>" (the only certificate a test may trust, and only in its
scratch Wine prefix); or one line "error <text>". A Windows test starts it
through Wine, which hands a Unix program no standard handles, hence the file.
Ends when REPORT_FILE is removed, when the process that started it ends, or
after SECONDS (default 120). Python standard library only."""
import base64, os, select, shutil, socket, ssl, subprocess, sys, tempfile, threading, time

# name: (subject alternative names, validity, signed by the test CA)
CERTIFICATES = {
    "good": ("IP:127.0.0.1,DNS:localhost", None, True),
    "wrongname": ("DNS:other.invalid", None, True),
    "expired": ("IP:127.0.0.1,DNS:localhost", ("20200101000000Z", "20200201000000Z"), True),
    "untrusted": ("IP:127.0.0.1,DNS:localhost", None, False),
}

CA_CONFIG = """[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
default_days = 2
policy = anything
unique_subject = no
copy_extensions = copy
[anything]
commonName = supplied
"""


def openssl(work, *args):
    subprocess.run(["openssl"] + list(args), cwd=work, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def self_signed(work, name, subject, extensions):
    openssl(work, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".pem",
            "-days", "2", "-subj", subject, *sum((["-addext", e] for e in extensions), []))


def make_certificates(work):
    self_signed(work, "ca", "/CN=Orvanta Test CA",
                ["basicConstraints=critical,CA:TRUE", "keyUsage=critical,keyCertSign,cRLSign"])
    with open(os.path.join(work, "ca.cnf"), "w") as f:
        f.write(CA_CONFIG)
    open(os.path.join(work, "index.txt"), "w").close()
    with open(os.path.join(work, "serial"), "w") as f:
        f.write("1000\n")
    for name, (names, dates, signed) in CERTIFICATES.items():
        extensions = ["subjectAltName=" + names, "extendedKeyUsage=serverAuth", "basicConstraints=CA:FALSE"]
        if not signed:
            self_signed(work, name, "/CN=127.0.0.1", extensions)
            continue
        openssl(work, "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
                "-subj", "/CN=" + names.split(",")[0].split(":", 1)[1], *sum((["-addext", e] for e in extensions), []))
        when = ["-startdate", dates[0], "-enddate", dates[1]] if dates else []
        openssl(work, "ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
                "-in", name + ".csr", "-out", name + ".pem", *when)
    with open(os.path.join(work, "ca.pem")) as f:
        return ssl.PEM_cert_to_DER_cert(f.read())


def relay(client, backend_port):
    try:
        backend = socket.create_connection(("127.0.0.1", backend_port), timeout=10)
    except OSError:
        client.close()
        return
    with client, backend:
        peers = {client: backend, backend: client}
        while True:
            ready, _, _ = select.select(list(peers), [], [], 60)
            if not ready:
                return
            for s in ready:
                # Bytes the TLS layer already decrypted are not seen by select.
                data = s.recv(65536)
                while data:
                    peers[s].sendall(data)
                    if not (isinstance(s, ssl.SSLSocket) and s.pending()):
                        break
                    data = s.recv(65536)
                if not data:
                    return


def serve(listener, context, backend_port):
    while True:
        try:
            raw, _ = listener.accept()
        except OSError:
            return

        def handshake(raw=raw):
            raw.settimeout(10)
            try:
                client = context.wrap_socket(raw, server_side=True)
            except (OSError, ssl.SSLError):
                raw.close()  # a client that refused the certificate
                return
            client.settimeout(None)
            relay(client, backend_port)

        threading.Thread(target=handshake, daemon=True).start()


def report(path, text):
    with open(path + ".part", "w") as f:
        f.write(text)
    os.replace(path + ".part", path)


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    backend_port, path = int(sys.argv[1]), sys.argv[2]
    end = time.monotonic() + (float(sys.argv[3]) if len(sys.argv) == 4 else 120.0)
    parent = os.getppid()
    # Whatever output pipe the starter had (a test runner's) is not held open.
    devnull = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(devnull, fd)
    work = tempfile.mkdtemp(prefix="orvanta-tls-")
    lines = []
    try:
        ca = make_certificates(work)
        for name in CERTIFICATES:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(os.path.join(work, name + ".pem"), os.path.join(work, name + ".key"))
            listener = socket.socket()
            listener.bind(("127.0.0.1", 0))
            listener.listen(16)
            threading.Thread(target=serve, args=(listener, context, backend_port), daemon=True).start()
            lines.append("%s %d" % (name, listener.getsockname()[1]))
        lines.append("ca " + base64.b64encode(ca).decode())
    except (OSError, subprocess.CalledProcessError, ssl.SSLError) as e:
        detail = getattr(e, "stderr", b"") or b""
        report(path, "error %s %s\n" % (e, detail.decode(errors="replace").strip().replace("\n", " ")))
        return
    finally:
        shutil.rmtree(work, ignore_errors=True)
    report(path, "\n".join(lines) + "\n")
    while os.path.exists(path) and os.getppid() == parent and time.monotonic() < end:
        time.sleep(0.2)


if __name__ == "__main__":
    main()
