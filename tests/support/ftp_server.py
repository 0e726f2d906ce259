#!/usr/bin/python3
# A small FTP server on 127.0.0.1 for Oculet's publishing tests (pyftpdlib). Prints the port it
# listens on as the first line of stdout, then serves until killed.
#
# Faults are read from the control file before every command, one word a line, so a test can
# switch them while the server runs:
#   refuse_stor      STOR is answered 553 and nothing is written
#   drop_data        the data connection is dropped after the first bytes of an upload
#   disk_full        the upload is received but answered 452 (insufficient storage)
#   rnto_no_replace  RNTO onto a file that exists is answered 550 (a server that will not replace)
#   rnto_busy        RNTO is answered 450 (transient)
#   no_rename        RNFR is answered 502: a server that cannot rename at all
#   refuse_login     every login is answered 530
# Every command received goes to the log file, PASS hidden, and "CONNECT" for each new control
# connection. With --cert and --key it speaks FTP with explicit TLS only. With --hang the program accepts TCP connections and never answers: a dead server.
import argparse
import logging
import os
import socket
import sys
import time

def read_faults(path):
    try:
        with open(path) as f:
            return {line.strip() for line in f if line.strip()}
    except OSError:
        return set()


def serve_hang(port):
    listener = socket.create_server(("127.0.0.1", port), backlog=16)
    print(listener.getsockname()[1], flush=True)
    # The kernel completes the connections of the backlog; nobody ever answers them.
    while True:
        time.sleep(3600)


def serve_ftp(args):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, DTPHandler
    from pyftpdlib.servers import FTPServer
    if args.cert:
        # FTP with explicit TLS: the login and every transfer must be protected.
        from pyftpdlib.handlers import TLS_FTPHandler as FTPHandler, TLS_DTPHandler as DTPHandler

    logging.basicConfig(level=logging.CRITICAL)

    def log(line):
        with open(args.log, "a") as f:
            f.write(line + "\n")

    class FaultyDTP(DTPHandler):
        def handle_read(self):
            if self.receive and "drop_data" in read_faults(args.control):
                # Take a first piece of the file, then hang up on the client.
                chunk = self.recv(256)
                self.tot_bytes_received += len(chunk)
                self.file_obj.write(chunk)
                self._resp = ("426 Connection closed; transfer aborted.", logging.debug)
                self.close()
                return
            super().handle_read()

        if args.cert:
            def readable(self):
                # curl starts TLS on a data connection as soon as it is made, before the transfer
                # command; pyftpdlib would take that early handshake for a hang-up.
                if self._ssl_accepting or self._ssl_want_read:
                    return True
                return (self.receive or self._initialized) and super().readable()
        else:
            # The base class binds its own reader to the event the loop calls.
            handle_read_event = handle_read

        def close(self):
            if not self._closed and self.receive and self.transfer_finished \
                    and "disk_full" in read_faults(args.control):
                self._resp = ("452 Insufficient storage space.", logging.debug)
            super().close()

    class FaultyHandler(FTPHandler):
        dtp_handler = FaultyDTP

        def on_connect(self):
            log("CONNECT")

        def pre_process_command(self, line, cmd, arg):
            log("PASS ****" if cmd == "PASS" else line)
            super().pre_process_command(line, cmd, arg)

        def ftp_STOR(self, file, mode="w"):
            if "refuse_stor" in read_faults(args.control):
                self.respond("553 Could not create file.")
                return None
            return super().ftp_STOR(file, mode)

        def ftp_RNFR(self, path):
            if "no_rename" in read_faults(args.control):
                self.respond("502 Command not implemented.")
                return None
            return super().ftp_RNFR(path)

        def ftp_PASS(self, line):
            if "refuse_login" in read_faults(args.control):
                self.respond("530 Authentication failed.")
                return None
            return super().ftp_PASS(line)

        def ftp_RNTO(self, path):
            faults = read_faults(args.control)
            if self._rnfr and "rnto_busy" in faults:
                self._rnfr = None
                self.respond("450 Requested file action not taken.")
                return None
            if self._rnfr and "rnto_no_replace" in faults and os.path.exists(path):
                self._rnfr = None
                self.respond("550 File exists.")
                return None
            return super().ftp_RNTO(path)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    FaultyHandler.authorizer = authorizer
    FaultyHandler.passive_ports = None
    FaultyHandler.timeout = 60
    FaultyHandler.auth_failed_timeout = 0.1
    if args.cert:
        FaultyHandler.certfile, FaultyHandler.keyfile = args.cert, args.key
        FaultyHandler.tls_control_required = FaultyHandler.tls_data_required = True

    for attempt in range(50):
        try:
            server = FTPServer(("127.0.0.1", args.port), FaultyHandler)
            break
        except OSError:
            # A restart on the same port may find the old socket still closing.
            if attempt == 49:
                raise
            time.sleep(0.1)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    for option in ("--root", "--user", "--password", "--control", "--log", "--cert", "--key"):
        parser.add_argument(option)
    parser.add_argument("--hang", action="store_true")
    args = parser.parse_args()
    if args.hang:
        serve_hang(args.port)
    else:
        serve_ftp(args)


if __name__ == "__main__":
    sys.exit(main())
