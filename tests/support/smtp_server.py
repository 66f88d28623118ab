#!/usr/bin/python3
"""A real SMTP server on loopback for the mail tests (aiosmtpd).

Offers STARTTLS and AUTH as asked, refuses recipients that start with "reject", and
prints "ready PORT" once it listens, then for each message it accepted the line "mail",
one line per field (name, a tab, the UTF-8 value in hex) and the line "end": the
envelope, the session (TLS, login, mechanism) and the message as parsed."""
import argparse
import email
import email.policy
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("reject"):
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.default)
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": ",".join(envelope.rcpt_tos),
            # STARTTLS sets session.ssl; TLS from the first byte shows on the transport.
            "tls": "yes" if session.ssl is not None or server.transport.get_extra_info("ssl_object") else "no",
            "login": getattr(session, "trawlix_login", ""),
            "mechanism": getattr(session, "trawlix_mechanism", ""),
            "raw_subject": email.message_from_bytes(raw).get("Subject", ""),
            "subject": str(message.get("Subject", "")),
            "from": str(message.get("From", "")),
            "to": str(message.get("To", "")),
            "date": str(message.get("Date", "")),
            "message_id": str(message.get("Message-ID", "")),
            "content_type": message.get_content_type(),
            "charset": message.get_content_charset() or "",
            "body": message.get_content(),
        }
        lines = ["mail"] + ["%s\t%s" % (k, str(v).encode().hex()) for k, v in record.items()] + ["end"]
        print("\n".join(lines), flush=True)
        return "250 2.0.0 Message accepted"


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login.decode() == user and auth_data.password.decode() == password
        if ok:
            session.trawlix_login = user
            session.trawlix_mechanism = mechanism
        # Not handled: the server answers a refusal with its own 535.
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)
    return authenticate


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--starttls", action="store_true", help="offer and require STARTTLS")
    parser.add_argument("--smtps", action="store_true", help="TLS from the first byte")
    parser.add_argument("--user")
    parser.add_argument("--password", default="")
    parser.add_argument("--mechanisms", default="LOGIN,PLAIN", help="the AUTH mechanisms offered")
    args = parser.parse_args()

    kwargs = {}
    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    if args.starttls:
        kwargs.update(tls_context=context, require_starttls=True)
    if args.user:
        offered = set(args.mechanisms.split(","))
        kwargs.update(authenticator=make_authenticator(args.user, args.password), auth_required=True,
                      auth_require_tls=args.starttls,
                      auth_exclude_mechanism=[m for m in ("LOGIN", "PLAIN") if m not in offered])
    controller = Controller(Handler(), hostname=args.host, port=args.port,
                            ssl_context=context if args.smtps else None, **kwargs)
    controller.start()
    print("ready %d" % args.port, flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    sys.exit(main())
