#!/usr/bin/python3
# A small HTTP server on 127.0.0.1 for the update check's tests. Prints its port as the first
# line, then serves: /newer and /same (pages offering 2.22 and 2.21), /slow (never answers),
# /huge (a 5 MiB body), anything else 404. Every request path goes to the log file.
import http.server
import sys
import time

log_path = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log_path, "a") as log:
            log.write(self.path + "\n")
        pages = {"/newer": b"<html>Oculet (v. 2.22) is out</html>", "/same": b"<p>Oculet (v. 2.21)</p>"}
        if self.path == "/slow":
            time.sleep(3600)
        elif self.path == "/huge":
            self.send_response(200)
            self.end_headers()
            chunk = b"Oculet 12345 9.99 " * 1000
            for _ in range(5 * 1024 * 1024 // len(chunk) + 1):
                self.wfile.write(chunk)
        elif self.path in pages:
            self.send_response(200)
            self.send_header("Content-Length", str(len(pages[self.path])))
            self.end_headers()
            self.wfile.write(pages[self.path])
        else:
            self.send_error(404)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()
