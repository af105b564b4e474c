#!/usr/bin/env python3
"""HTTPS server of the tests: https_server.py CERT KEY [CLIENT_CA] prints its process id and its port
on 127.0.0.1 and answers every GET with "secure <request line> for <client certificate CN or
anonymous>"; with CLIENT_CA it requires a client certificate issued by (or equal to) it."""
import os
import socket
import ssl
import sys


def serve(context: ssl.SSLContext, connection: socket.socket) -> None:
    with context.wrap_socket(connection, server_side=True) as tls:
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = tls.recv(4096)
            if not chunk:
                return
            head += chunk
        line = head.split(b"\r\n", 1)[0].decode("latin-1")
        peer = tls.getpeercert()
        who = "anonymous"
        if peer:
            who = dict(pair[0] for pair in peer["subject"])["commonName"]
        body = f"secure {line} for {who}".encode()
        tls.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n"
                    % len(body) + body)


def main() -> None:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[1], sys.argv[2])
    if len(sys.argv) > 3:
        context.verify_mode = ssl.CERT_REQUIRED
        context.load_verify_locations(sys.argv[3])
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print(os.getpid(), listener.getsockname()[1], flush=True)
    while True:
        connection, _ = listener.accept()
        try:
            serve(context, connection)
        except (ssl.SSLError, OSError) as error:
            print(f"https_server: {error}", file=sys.stderr, flush=True)
        finally:
            connection.close()


if __name__ == "__main__":
    main()
