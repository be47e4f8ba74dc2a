#!/usr/bin/python3
"""A local FTP server for the tests and benchmarks, on pyftpdlib.

Listens on 127.0.0.1 and a free port (or the one --port names), prints "PORT <number>" on its
first line of standard output once it accepts connections, and serves until it is terminated.
With --lifeline it reports the port there instead and serves as long as that connection lasts.

  --user NAME:PASSWORD:HOME:PERM   a user (repeatable); PERM as pyftpdlib spells it, e.g. "elr"
                                   to read, "elradfmw" to read and write
  --anonymous HOME:PERM            anonymous login allowed, with that home and those rights
  --port NUMBER                    listen on this port instead of a free one
  --log FILE                       every command received, one per line as the client sent it
  --drop-after BYTES               every data connection is cut after that many bytes, in
                                   either direction, and the command answered with 426
  --stall-after BYTES              every data connection goes silent after that many bytes, in
                                   either direction: it stays open but neither sends nor reads
  --stall-after-login              the control connection goes silent once a login succeeded:
                                   commands are still read (and logged) but never answered
  --rate BYTES                     every data connection moves at most that many bytes a second
  --refuse-rest                    REST is answered "502 Command not implemented", as by a server
                                   that cannot resume
  --upload-rate BYTES              uploads (STOR) move at most that many bytes a second
  --lifeline PORT                  connects to 127.0.0.1:PORT, sends "PORT <number>" there (or
                                   "ERROR <reason>" when it cannot serve) and stops once that connection brings anything or ends: the
                                   program that started the server stops it so, and its death
                                   stops it too (a Windows program under Wine can neither read
                                   the output of the Linux process it started nor end it). The
                                   listening socket is closed before the lifeline is.
"""

import argparse
import logging
import os
import signal
import socket
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--user", action="append", default=[])
    parser.add_argument("--anonymous")
    parser.add_argument("--log")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--drop-after", type=int, default=-1)
    parser.add_argument("--stall-after", type=int, default=-1)
    parser.add_argument("--stall-after-login", action="store_true")
    parser.add_argument("--rate", type=int, default=0)
    parser.add_argument("--refuse-rest", action="store_true")
    parser.add_argument("--upload-rate", type=int, default=0)
    parser.add_argument("--lifeline", type=int, default=0)
    args = parser.parse_args()

    logging.basicConfig(level=logging.ERROR)

    lifeline = socket.create_connection(("127.0.0.1", args.lifeline)) if args.lifeline else None
    try:
        server = make_server(args)
    except Exception as error:
        if not lifeline:
            raise
        lifeline.sendall(("ERROR %s\n" % " ".join(str(error).split())).encode())
        sys.exit(1)
    port = server.socket.getsockname()[1]
    if lifeline:
        lifeline.sendall(b"PORT %d\n" % port)
        stop_with(lifeline)
    else:
        sys.stdout.write("PORT %d\n" % port)
        sys.stdout.flush()
    try:
        server.serve_forever()
    finally:
        server.close_all()
        # Nothing of the server is left open once the lifeline has closed: Windows removes no
        # folder whose file is still open.
        if server.command_log:
            server.command_log.close()
        if lifeline:
            lifeline.close()


def make_server(args):
    """The server on its port, serving as the options say."""
    authorizer = DummyAuthorizer()
    for entry in args.user:
        # The home may hold colons (Wine's "dosdevices/c:"), the name and the password do not.
        name, password, rest = entry.split(":", 2)
        home, perm = rest.rsplit(":", 1)
        authorizer.add_user(name, password, home, perm=perm)
    if args.anonymous:
        home, perm = args.anonymous.rsplit(":", 1)
        authorizer.add_anonymous(home, perm=perm)

    log = open(args.log, "a", buffering=1, encoding="utf-8") if args.log else None
    # Either limit makes the data connection stop at that many bytes: cut or silent.
    drop_after = args.drop_after
    stall_after = args.stall_after
    limit = drop_after if drop_after >= 0 else stall_after

    # The throttling handler never uses sendfile(), so it is taken only when asked for.
    base = ThrottledDTPHandler if args.rate > 0 or args.upload_rate > 0 else DTPHandler

    class LimitingDTPHandler(base):
        """Cuts the data connection, or lets it go silent, once limit bytes have gone through."""

        read_limit = args.upload_rate or args.rate
        write_limit = args.rate
        stalled = False

        def use_sendfile(self):
            return False if limit >= 0 else base.use_sendfile(self)

        def _stop(self):
            if drop_after >= 0:
                self._resp = ("426 Connection closed; transfer aborted.", logging.debug)
                self.close()
            else:
                # Open but deaf and dumb: no more events for this socket but its closing.
                self.stalled = True
                self.modify_ioloop_events(0)

        def modify_ioloop_events(self, events, logdebug=False):
            base.modify_ioloop_events(self, 0 if self.stalled else events, logdebug)

        def send(self, data):
            if limit < 0:
                return base.send(self, data)
            room = limit - self.tot_bytes_sent
            if room <= 0 or self.stalled:
                self._stop()
                return 0
            sent = base.send(self, data[:room])
            if self.tot_bytes_sent >= limit:
                self._stop()
            return sent

        def handle_read(self):
            if self.stalled:
                return
            base.handle_read(self)
            if limit >= 0 and self.tot_bytes_received >= limit and not self._closed:
                self._stop()

        # pyftpdlib calls the event alias, not handle_read itself.
        handle_read_event = handle_read

    class LoggingHandler(FTPHandler):
        silent = False

        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
            if self.silent:
                return None
            return FTPHandler.pre_process_command(self, line, cmd, arg)

        def ftp_REST(self, line):
            if args.refuse_rest:
                self.respond("502 Command not implemented.")
                return
            FTPHandler.ftp_REST(self, line)

        def handle_auth_success(self, home, password, msg_login):
            FTPHandler.handle_auth_success(self, home, password, msg_login)
            self.silent = args.stall_after_login

    LoggingHandler.authorizer = authorizer
    LoggingHandler.dtp_handler = LimitingDTPHandler
    LoggingHandler.banner = "tav test server ready."

    server = FTPServer(("127.0.0.1", args.port), LoggingHandler)
    server.command_log = log
    return server


def stop_with(lifeline):
    """Ends serve_forever() once the lifeline brings anything or ends."""
    # serve_forever() takes SystemExit as its cue to close every connection and return; the signal
    # goes to the main thread itself, so that its wait for the sockets is interrupted.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    main = threading.main_thread().ident

    def watch():
        try:
            lifeline.recv(1)
        except OSError:
            pass
        signal.pthread_kill(main, signal.SIGTERM)
        # A server that does not wind down in time goes all the same.
        threading.Event().wait(10)
        os._exit(1)

    threading.Thread(target=watch, daemon=True).start()


if __name__ == "__main__":
    main()
