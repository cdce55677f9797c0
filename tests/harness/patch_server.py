#!/usr/bin/env python3
"""Local HTTPS patch server for the launcher's tests.

Usage: patch_server.py STATE_DIR CERT KEY PORT_FILE. Serves STATE_DIR/www, answering "Range:
bytes=FIRST-[LAST]" with a 206 unless If-Range is not the file's ETag, from the file piece by
piece so that sparse files of any size serve. Logs each request to requests.log (method, path
as sent, "Name: value" headers, tab-separated). Before each request it reads faults.txt, lines
"<path as sent> <kind> [arg]": the path's first line applies, one written "once-<kind>" to one
request only, until faults.used is removed with faults.txt:
  status CODE [S]  an HTML error page, with "Retry-After: S" when S is given
  reset            close the connection without any answer
  stall SECONDS    nothing until the line is gone or SECONDS have passed, then close
  empty            200 with a zero-byte body
  cut BYTES        announce the full length, send BYTES of the body, then close
  cut_nolength N   no Content-Length, N bytes of the body, then close
  nolength         the whole body without a Content-Length header
  trickle DELAY    the body in 512-byte pieces, DELAY seconds apart
  norange          answer a Range request with 200 and the whole file
  badrange         answer a Range request with the bytes one further on, and say so
  corrupt OFFSET   flip the file's byte at OFFSET wherever a body carries it
"""
import io
import os
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STATE = sys.argv[1]
LOG_LOCK = threading.RLock()


def read_lines(name):
    try:
        with open(os.path.join(STATE, name), encoding="latin-1") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def append(name, line):
    with LOG_LOCK, open(os.path.join(STATE, name), "a", encoding="latin-1", errors="replace") as f:
        f.write(line + "\n")


def fault_for(path, take=False):
    for line in read_lines("faults.txt"):
        parts = line.split(" ", 2) + [""]
        if parts[0] != path:
            continue
        if parts[1].startswith("once-"):
            with LOG_LOCK:
                if line in read_lines("faults.used"):
                    continue
                if take:
                    append("faults.used", line)
            parts[1] = parts[1][5:]
        return parts[1], parts[2]
    return None, ""


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def local_file(self):
        www = os.path.realpath(os.path.join(STATE, "www")).encode()
        rel = urllib.parse.unquote_to_bytes(self.path.split("?", 1)[0]).lstrip(b"/")
        full = os.path.realpath(os.path.join(www, rel))
        return full if full.startswith(www + b"/") and os.path.isfile(full) else None

    def answer(self, code, source, first, count, headers=(), length=True, cut=None, corrupt=None,
               pause=0.0):
        """Sends count bytes of the file object source from first, in pieces, cut after cut."""
        self.send_response(code)
        if length:
            self.send_header("Content-Length", str(count))
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Connection", "close")
        self.end_headers()
        left = count if cut is None else min(count, cut)
        source.seek(first)
        at = first
        while left > 0:
            piece = bytearray(source.read(min(left, 512 if pause else 1 << 20)))
            if not piece:
                break
            if corrupt is not None and at <= corrupt < at + len(piece):
                piece[corrupt - at] ^= 0xFF
            self.wfile.write(piece)
            self.wfile.flush()
            time.sleep(pause)
            at += len(piece)
            left -= len(piece)

    def do_GET(self):
        line = "\t".join([self.command, self.path] + [f"{k}: {v}" for k, v in self.headers.items()])
        append("requests.log", line)
        self.close_connection = True
        kind, arg = fault_for(self.path, take=True)
        if kind in ("reset", "stall"):
            # A stall lasts as long as the test keeps its line; SECONDS only bound it.
            deadline = time.monotonic() + float(arg or 0)
            while kind == "stall" and time.monotonic() < deadline and fault_for(self.path)[0] == kind:
                time.sleep(0.1)
            # A zero linger turns the close into a reset.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            return
        path = self.local_file()
        if kind in ("status", "empty") or path is None:
            code, *after = arg.split(" ") if kind == "status" else [200 if kind == "empty" else 404]
            page = f"<html><body><h1>{code}</h1></body></html>\n".encode()
            page = b"" if kind == "empty" else page
            self.answer(int(code), io.BytesIO(page), 0, len(page),
                        [("Retry-After", after[0])] if after else [])
            return
        size = os.path.getsize(path)
        etag = f'"{os.stat(path).st_mtime_ns:x}-{size:x}"'
        asked = self.headers.get("Range", "")
        first, last, code, headers = 0, size - 1, 200, [("ETag", etag)]
        if self.headers.get("If-Range", etag) != etag or kind == "norange":
            asked = ""
        if asked.startswith("bytes="):
            first, last = (int(x) if x else size - 1 for x in asked[6:].split("-"))
            if kind == "badrange":
                first, last = first + 1, min(last + 1, size - 1)
            code = 206
            headers.append(("Content-Range", f"bytes {first}-{last}/{size}"))
        with open(path, "rb") as f:
            self.answer(code, f, first, last - first + 1, headers,
                        length=kind not in ("cut_nolength", "nolength"),
                        cut=int(arg) if kind in ("cut", "cut_nolength") else None,
                        corrupt=int(arg) if kind == "corrupt" else None,
                        pause=float(arg) if kind == "trickle" else 0.0)


class Server(ThreadingHTTPServer):
    def get_request(self):
        sock, addr = self.socket.accept()
        # The handshake runs in the handler's thread, so one stalled client blocks no other.
        return TLS.wrap_socket(sock, server_side=True, do_handshake_on_connect=False), addr

    def finish_request(self, request, client_address):
        try:
            request.settimeout(60)
            request.do_handshake()
        except (ssl.SSLError, OSError):
            request.close()
            return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass  # a client that hung up mid-answer, as the faults make them do


TLS = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
TLS.load_cert_chain(sys.argv[2], sys.argv[3])
os.makedirs(os.path.join(STATE, "www"), exist_ok=True)
server = Server(("127.0.0.1", 0), Handler)
with open(sys.argv[4] + ".tmp", "w") as port:
    port.write(str(server.server_address[1]))
os.replace(sys.argv[4] + ".tmp", sys.argv[4])
server.serve_forever(poll_interval=0.2)
