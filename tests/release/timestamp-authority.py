#!/usr/bin/env python3
"""A local RFC 3161 timestamp authority for the signing test: answers each
POSTed query with openssl ts -reply. Writes its port to PORT_FILE once it
listens, and serves until it is ended.
Usage: timestamp-authority.py FOLDER PORT_FILE   (FOLDER holds tsa.cnf, tsa.pem, tsa.key, ca.pem)"""
import http.server
import subprocess
import sys
import tempfile

folder, port_file = sys.argv[1], sys.argv[2]


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.NamedTemporaryFile(dir=folder) as query_file:
            query_file.write(query)
            query_file.flush()
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", "tsa.cnf", "-queryfile", query_file.name,
                                    "-signer", "tsa.pem", "-inkey", "tsa.key", "-chain", "ca.pem"],
                                   cwd=folder, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *arguments):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
with open(port_file, "w") as port:
    port.write(str(server.server_address[1]))
server.serve_forever()
