#!/usr/bin/python3
"""FTP server of vqm-service-sim: serves one folder, writable, to the given users.

Prints "vqm-sim-ftpd listening port=PORT" on standard output once it accepts connections, and
ends cleanly on SIGTERM or SIGINT, or when its standard input is closed (the simulator is gone).
"""

import argparse
import logging
import os
import signal
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

# Every right: list, retrieve, store, append, delete, rename, make directory, chmod, mtime.
FULL_RIGHTS = "elradfmwMT"


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--root", required=True, help="folder served to every user")
    parser.add_argument("--user", action="append", default=[], metavar="NAME:PASSWORD",
                        help="a user that may log in (repeatable)")
    return parser.parse_args()


def stop_on_signal(signum, frame):
    raise KeyboardInterrupt


def stop_when_stdin_closes():
    # The simulator holds our standard input open; end-of-file means it has gone.
    try:
        while sys.stdin.buffer.read(4096):
            pass
    finally:
        os.kill(os.getpid(), signal.SIGTERM)


def main():
    arguments = parse_arguments()
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr,
                        format="vqm-sim-ftpd: %(message)s")

    authorizer = DummyAuthorizer()
    for user in arguments.user:
        name, separator, password = user.partition(":")
        if not separator or not name:
            sys.exit("vqm-sim-ftpd: --user needs NAME:PASSWORD, got %r" % user)
        authorizer.add_user(name, password, arguments.root, perm=FULL_RIGHTS)

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "vqm-sim-ftpd ready"

    server = FTPServer((arguments.host, arguments.port), handler)
    signal.signal(signal.SIGTERM, stop_on_signal)
    signal.signal(signal.SIGINT, stop_on_signal)
    threading.Thread(target=stop_when_stdin_closes, daemon=True).start()

    print("vqm-sim-ftpd listening port=%d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)
    # Leave at once: a normal interpreter shutdown would trip over the thread blocked on stdin.
    sys.stdout.flush()
    sys.stderr.flush()
    os._exit(0)


if __name__ == "__main__":
    main()
