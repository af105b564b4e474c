#!/usr/bin/env python3
"""HTTPS server of the tests: https_server.py CERT KEY [CLIENT_CA] prints its process id and its port
on 127.0.0.1 and answers every GET with "secure <request line> for <client certificate CN or
anonymous>"; with CLIENT_CA it requires a client certificate issued by (or equal to) it."""
import http.server
import os
import ssl
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self) -> None:
        peer = self.connection.getpeercert()
        who = dict(pair[0] for pair in peer["subject"])["commonName"] if peer else "anonymous"
        body = f"secure {self.requestline} for {who}".encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main() -> None:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[1], sys.argv[2])
    if len(sys.argv) > 3:
        context.verify_mode = ssl.CERT_REQUIRED
        context.load_verify_locations(sys.argv[3])
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print(os.getpid(), server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
