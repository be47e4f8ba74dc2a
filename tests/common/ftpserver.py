#!/usr/bin/python3
"""A local FTP server for the tests and benchmarks, on pyftpdlib.

Listens on 127.0.0.1 and a free port, prints "PORT <number>" on its first line of standard
output once it accepts connections, and serves until it is terminated.

  --user NAME:PASSWORD:HOME:PERM   a user (repeatable); PERM as pyftpdlib spells it, e.g. "elr"
                                   to read, "elradfmw" to read and write
  --anonymous HOME:PERM            anonymous login allowed, with that home and those rights
  --log FILE                       every command received, one per line as the client sent it
  --drop-after BYTES               every data connection is cut after that many bytes, in
                                   either direction, and the command answered with 426
"""

import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", action="append", default=[])
    parser.add_argument("--anonymous")
    parser.add_argument("--log")
    parser.add_argument("--drop-after", type=int, default=-1)
    args = parser.parse_args()

    logging.basicConfig(level=logging.ERROR)

    authorizer = DummyAuthorizer()
    for entry in args.user:
        name, password, home, perm = entry.split(":", 3)
        authorizer.add_user(name, password, home, perm=perm)
    if args.anonymous:
        home, perm = args.anonymous.rsplit(":", 1)
        authorizer.add_anonymous(home, perm=perm)

    log = open(args.log, "a", buffering=1, encoding="utf-8") if args.log else None
    drop_after = args.drop_after

    class CuttingDTPHandler(DTPHandler):
        """Cuts the data connection once drop_after bytes have gone through."""

        def use_sendfile(self):
            return False if drop_after >= 0 else DTPHandler.use_sendfile(self)

        def _cut(self):
            self._resp = ("426 Connection closed; transfer aborted.", logging.debug)
            self.close()

        def send(self, data):
            if drop_after < 0:
                return DTPHandler.send(self, data)
            room = drop_after - self.tot_bytes_sent
            if room <= 0:
                self._cut()
                return 0
            sent = DTPHandler.send(self, data[:room])
            if self.tot_bytes_sent >= drop_after:
                self._cut()
            return sent

        def handle_read(self):
            DTPHandler.handle_read(self)
            if drop_after >= 0 and self.tot_bytes_received >= drop_after and not self._closed:
                self._cut()

        # pyftpdlib calls the event alias, not handle_read itself.
        handle_read_event = handle_read

    class LoggingHandler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
            return FTPHandler.pre_process_command(self, line, cmd, arg)

    LoggingHandler.authorizer = authorizer
    LoggingHandler.dtp_handler = CuttingDTPHandler
    LoggingHandler.banner = "tav test server ready."

    server = FTPServer(("127.0.0.1", 0), LoggingHandler)
    port = server.socket.getsockname()[1]
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()
    try:
        server.serve_forever()
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
