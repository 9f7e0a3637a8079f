#!/usr/bin/python3
"""A writable FTP server on 127.0.0.1 for tests and benchmarks.

Prints "PORT <n>" once it listens, appends every command it receives to the command log (one
line each, password hidden), and ends when its standard input closes, so it never outlives the
process that started it.
"""

import argparse
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--command-log", required=True)
    args = parser.parse_args()

    command_log = open(args.command_log, "a", encoding="utf-8", buffering=1)

    class LoggingHandler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            shown = "PASS ****" if cmd == "PASS" else line
            command_log.write(shown + "\n")
            super().pre_process_command(line, cmd, arg)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    LoggingHandler.authorizer = authorizer
    LoggingHandler.banner = "test server ready"
    LoggingHandler.auth_failed_timeout = 0.1

    import logging
    logging.basicConfig(level=logging.ERROR)

    server = FTPServer(("127.0.0.1", 0), LoggingHandler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)

    def end_with_parent():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=end_with_parent, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
