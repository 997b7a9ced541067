#!/usr/bin/python3
"""SMTP sink for tests: accepts mail on 127.0.0.1 and stores every message it accepts.

Each accepted message becomes <maildir>/<n>.eml (the raw message exactly as received) with a
sidecar <n>.json holding the envelope: {"from", "to", "auth_user", "peer", "received"}. The
sidecar is written first and the .eml last, each through a rename, so a reader that sees <n>.eml
sees a complete pair.

Refusals a test can ask for through the recipient address:
  a recipient containing "refuse"     -> 550 at RCPT (permanent refusal)
  a recipient containing "tempfail"   -> 451 at RCPT (try again later)
  a recipient containing "rejectdata" -> accepted at RCPT, 554 after DATA
  a recipient containing "dropdata"   -> the connection is dropped once the message is in, no reply
  a recipient containing "slow"       -> the RCPT reply comes only after --slow-seconds (a cancel test)

AUTH PLAIN and LOGIN are offered (on plain loopback, without TLS); a wrong user or password gets
535. Mail without AUTH is accepted unless --require-auth is given. Every AUTH attempt is logged to
<rundir>/auth.log as "<port> <login> tls=<0|1> ok=<0|1>", so a test can tell whether a password
ever crossed a connection in the clear.

With --tls-cert and --tls-key two more listeners share the mail folder: one offering STARTTLS
(AUTH only after it) and one speaking TLS from the first byte.

When ready, writes <rundir>/smtp.env: SMTP_HOST, SMTP_PORT, SMTP_USER, SMTP_PASSWORD,
SMTP_MAILDIR, SMTP_PID, and with TLS SMTP_STARTTLS_PORT, SMTP_TLS_PORT, SMTP_CA_FILE.
"""

import argparse
import asyncio
import datetime
import itertools
import json
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.replace(tmp, path)


class Sink:
    def __init__(self, maildir, slow_seconds=30):
        self.maildir = maildir
        self.slow_seconds = slow_seconds
        existing = [int(n[:-4]) for n in os.listdir(maildir) if n.endswith(".eml") and n[:-4].isdigit()]
        self.counter = itertools.count(max(existing, default=0) + 1)
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        lowered = address.lower()
        if "slow" in lowered:
            await asyncio.sleep(self.slow_seconds)
        if "refuse" in lowered:
            return "550 5.1.1 <%s>: Recipient address rejected: mailbox unavailable" % address
        if "tempfail" in lowered:
            return "451 4.3.0 <%s>: Temporary failure, try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if any("rejectdata" in r.lower() for r in envelope.rcpt_tos):
            return "554 5.6.0 Message rejected: content refused by policy"
        if any("dropdata" in r.lower() for r in envelope.rcpt_tos):
            server.transport.abort()
            return "421 4.4.2 connection dropped"
        with self.lock:
            n = next(self.counter)
        base = os.path.join(self.maildir, str(n))
        auth = session.auth_data
        login = auth.login if isinstance(auth, LoginPassword) else None
        sidecar = {
            "from": envelope.mail_from,
            "to": list(envelope.rcpt_tos),
            "auth_user": login.decode("utf-8", "replace") if isinstance(login, bytes) else login,
            "peer": "%s:%s" % tuple(session.peer[:2]) if session.peer else None,
            "received": datetime.datetime.now().isoformat(timespec="seconds"),
        }
        write_atomically(base + ".json", json.dumps(sidecar, ensure_ascii=False, indent=1).encode("utf-8"))
        write_atomically(base + ".eml", envelope.original_content)
        return "250 OK: queued as %d" % n


class Authenticator:
    def __init__(self, user, password, log_path):
        self.user = user.encode("utf-8")
        self.password = password.encode("utf-8")
        self.log_path = log_path
        self.lock = threading.Lock()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and auth_data.login == self.user \
            and auth_data.password == self.password
        transport = server.transport
        tls = transport is not None and transport.get_extra_info("ssl_object") is not None
        login = auth_data.login.decode("utf-8", "replace") if isinstance(auth_data, LoginPassword) else "?"
        port = transport.get_extra_info("sockname")[1] if transport is not None else 0
        with self.lock, open(self.log_path, "a", encoding="utf-8") as log:
            log.write("%d %s tls=%d ok=%d\n" % (port, login, int(tls), int(ok)))
        if ok:
            return AuthResult(success=True, auth_data=auth_data)
        return AuthResult(success=False, handled=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rundir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="velmora")
    parser.add_argument("--password", required=True)
    parser.add_argument("--require-auth", action="store_true")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--tls-ca")
    parser.add_argument("--slow-seconds", type=float, default=30)
    args = parser.parse_args()

    rundir = os.path.abspath(args.rundir)
    maildir = os.path.join(rundir, "mail")
    os.makedirs(maildir, exist_ok=True)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    authenticator = Authenticator(args.user, args.password, os.path.join(rundir, "auth.log"))
    sink = Sink(maildir, args.slow_seconds)

    def listen(**tls):
        last_error = None
        for _ in range(5):
            port = args.port if args.port and not tls else free_port()
            controller = Controller(
                sink, hostname="127.0.0.1", port=port,
                server_hostname="smtpsink.test", data_size_limit=200 * 1024 * 1024,
                enable_SMTPUTF8=True, auth_required=args.require_auth,
                auth_require_tls="tls_context" in tls, authenticator=authenticator, **tls)
            try:
                controller.start()
                return controller
            except Exception as e:  # port taken between the probe and the bind: pick another
                last_error = e
                if args.port and not tls:
                    break
        print("smtpsink: cannot listen: %s" % last_error, file=sys.stderr)
        return None

    controllers = []
    controller = listen()
    if controller is None:
        return 1
    controllers.append(controller)
    env = ("SMTP_HOST=127.0.0.1\nSMTP_PORT=%d\nSMTP_USER=%s\nSMTP_PASSWORD=%s\nSMTP_MAILDIR=%s\nSMTP_PID=%d\n"
           % (controller.port, args.user, args.password, maildir, os.getpid()))
    if args.tls_cert and args.tls_key:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        starttls = listen(tls_context=context)
        implicit = listen(ssl_context=context)
        for c in (starttls, implicit):
            if c is None:
                for started in controllers:
                    started.stop()
                return 1
            controllers.append(c)
        env += "SMTP_STARTTLS_PORT=%d\nSMTP_TLS_PORT=%d\nSMTP_CA_FILE=%s\n" % (
            starttls.port, implicit.port, os.path.abspath(args.tls_ca or args.tls_cert))
    write_atomically(os.path.join(rundir, "smtp.env"), env.encode("utf-8"))
    print("smtpsink: listening on 127.0.0.1:%d, mail in %s" % (controller.port, maildir), flush=True)

    # A short timeout keeps the main thread where the signal handler can run promptly.
    while not stop.wait(0.1):
        pass
    for c in controllers:
        c.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
