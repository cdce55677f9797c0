#!/usr/bin/env python3
"""Local HTTPS patch server for the launcher's tests.

Serves DIR/www at https://localhost:PORT/, appends every request to DIR/requests.log
(one line: method, the path exactly as sent, then "Name: value" headers, tab-separated)
and reads DIR/faults.txt before each request. A fault line is "<path as sent> <kind> [arg]":
  status CODE      answer CODE with an HTML error page
  reset            close the connection without any answer
  cut BYTES        announce the full length, send BYTES of the body, then close
  cut_nolength N   no Content-Length, send N bytes of the body, then close
  nolength         the whole body without a Content-Length header
  stall SECONDS    send nothing for SECONDS, then close
  empty            200 with a zero-byte body
  trickle DELAY    the body in 512-byte pieces, DELAY seconds apart
  body TEXT        200 with TEXT (\\n and \\r escapes) as the body
"""
import argparse
import os
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def read_faults(state_dir):
    faults = {}
    try:
        with open(os.path.join(state_dir, "faults.txt"), "r", encoding="latin-1") as f:
            for line in f:
                parts = line.rstrip("\r\n").split(" ", 2)
                if len(parts) >= 2:
                    faults[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
    except FileNotFoundError:
        pass
    return faults


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "SkhTestServer/1.0"

    def log_message(self, fmt, *args):
        pass

    def record(self):
        fields = [self.command, self.path] + [f"{k}: {v}" for k, v in self.headers.items()]
        line = "\t".join(fields) + "\n"
        with self.server.log_lock:
            with open(os.path.join(self.server.state_dir, "requests.log"), "a",
                      encoding="latin-1", errors="replace") as f:
                f.write(line)

    def local_file(self):
        raw = urllib.parse.unquote_to_bytes(self.path.split("?", 1)[0])
        www = os.path.join(self.server.state_dir, "www").encode()
        rel = raw.lstrip(b"/")
        candidates = [rel]
        # Trees written through Wine store Windows-1252 names as UTF-8 on this side.
        try:
            candidates.append(rel.decode("cp1252").encode("utf-8"))
        except UnicodeDecodeError:
            pass
        for candidate in candidates:
            full = os.path.realpath(os.path.join(www, candidate))
            if full.startswith(os.path.realpath(www) + b"/") and os.path.isfile(full):
                return full
        return None

    def send_body(self, code, body, length=True, close_after=None):
        self.send_response(code)
        self.send_header("Content-Type", "application/octet-stream")
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        data = body if close_after is None else body[:close_after]
        self.wfile.write(data)
        self.wfile.flush()

    def abort(self):
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
        except OSError:
            pass
        self.close_connection = True
        self.connection.close()

    def do_GET(self):
        self.record()
        self.close_connection = True
        kind, arg = read_faults(self.server.state_dir).get(self.path, (None, ""))
        if kind == "reset":
            self.abort()
            return
        if kind == "stall":
            time.sleep(float(arg or "30"))
            self.abort()
            return
        if kind == "status":
            code = int(arg or "404")
            page = f"<html><body><h1>{code}</h1></body></html>\n".encode()
            self.send_body(code, page)
            return
        if kind == "empty":
            self.send_body(200, b"")
            return
        if kind == "body":
            text = arg.replace("\\n", "\n").replace("\\r", "\r").encode("latin-1")
            self.send_body(200, text)
            return
        path = self.local_file()
        if path is None:
            self.send_body(404, b"<html><body><h1>404 Not Found</h1></body></html>\n")
            return
        with open(path, "rb") as f:
            body = f.read()
        if kind == "cut":
            self.send_body(200, body, close_after=int(arg))
        elif kind == "cut_nolength":
            self.send_body(200, body, length=False, close_after=int(arg))
        elif kind == "nolength":
            self.send_body(200, body, length=False)
        elif kind == "trickle":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            for start in range(0, len(body), 512):
                self.wfile.write(body[start:start + 512])
                self.wfile.flush()
                time.sleep(float(arg or "0.01"))
        else:
            self.send_body(200, body)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def get_request(self):
        sock, addr = self.socket.accept()
        # The handshake runs in the handler's thread, so one stalled client blocks no other.
        return self.tls.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), addr

    def finish_request(self, request, client_address):
        try:
            request.settimeout(60)
            request.do_handshake()
        except (ssl.SSLError, OSError):
            request.close()
            return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dir", required=True, help="state folder (www/, faults.txt, requests.log)")
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()

    os.makedirs(os.path.join(args.dir, "www"), exist_ok=True)
    server = Server(("127.0.0.1", 0), Handler)
    server.state_dir = args.dir
    server.log_lock = threading.Lock()
    server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    server.tls.load_cert_chain(args.cert, args.key)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(tmp, args.port_file)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
