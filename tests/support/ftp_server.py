#!/usr/bin/python3
"""A writable FTP server on 127.0.0.1 for tests and benchmarks, which can also fail the way real
ones do.

Faults (--fault):
  none           a plain writable server
  refuse-login   every login is refused (530)
  drop-data      the data connection of an upload is closed after --limit bytes (426)
  full-at-store  an upload is refused at once: insufficient storage (452)
  full-during    an upload is aborted after --limit bytes: storage allocation exceeded (552)

Prints "PORT <n>" once it listens, appends every command it receives to --command-log (passwords
hidden), and ends when its standard input closes, so it never outlives the process that started it.
"""

import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

FULL_RIGHTS = "elradfmwMT"
NO_SPACE_AT_STORE = "452 Insufficient storage space in system."
NO_SPACE_DURING = "552 Requested file action aborted: exceeded storage allocation."
DATA_DROPPED = "426 Connection closed; transfer aborted."


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--command-log", required=True)
    parser.add_argument("--fault", default="none",
                        choices=["none", "refuse-login", "drop-data", "full-at-store",
                                 "full-during"])
    parser.add_argument("--limit", type=int, default=16384)
    args = parser.parse_args()
    command_log = open(args.command_log, "a", encoding="utf-8", buffering=1)

    class CuttingDTPHandler(DTPHandler):
        """Ends an upload on the server's side once it has taken --limit bytes."""

        cut_reply = None

        def handle_read(self):
            super().handle_read()
            if self.cut_reply and self.receive and self.tot_bytes_received >= args.limit:
                self._resp = (self.cut_reply, logging.debug)
                self.close()

        # The I/O loop calls this name (pyftpdlib binds it to handle_read for speed).
        handle_read_event = handle_read

    class FaultyHandler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            command_log.write(("PASS ****" if cmd == "PASS" else line) + "\n")
            super().pre_process_command(line, cmd, arg)

        def ftp_STOR(self, file, mode="w"):
            if args.fault == "full-at-store":
                self.respond(NO_SPACE_AT_STORE)
                return None
            return super().ftp_STOR(file, mode)

    authorizer = DummyAuthorizer()
    if args.fault != "refuse-login":
        authorizer.add_user(args.user, args.password, args.root, perm=FULL_RIGHTS)
    CuttingDTPHandler.cut_reply = {"drop-data": DATA_DROPPED,
                                   "full-during": NO_SPACE_DURING}.get(args.fault)
    FaultyHandler.authorizer = authorizer
    FaultyHandler.dtp_handler = CuttingDTPHandler
    FaultyHandler.banner = "test server ready"
    FaultyHandler.auth_failed_timeout = 0.1
    logging.basicConfig(level=logging.ERROR)

    server = FTPServer(("127.0.0.1", 0), FaultyHandler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)

    def end_with_parent():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=end_with_parent, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
