#!/usr/bin/env python3
"""Reference update service for Brindle.

Answers GET .../brindle.php with "MAJOR.MINOR.PATCH>DOWNLOAD-ADDRESS", the reply grammar the
program reads; DOWNLOAD-ADDRESS is --download, never anything taken from the request. It also
serves a plain donation page (.../brindle.donate.php) and front page on the same host. The
version comes from the project's own version record (resources/brindle.rc) unless --version
names another one. Point the program at it with BRINDLE_UPDATE_URL, for example
    python3 tools/update-service.py --port 8080 --download https://example.org/brindle-setup.exe
    BRINDLE_UPDATE_URL=http://HOST:8080/skelby/services/brindle.php brindle.exe

With --test-hooks, each test gets replies of its own under /t/TOKEN/: a GET of
/t/TOKEN/set?BYTES (percent-encoded) makes BYTES the reply of /t/TOKEN/.../brindle.php, every
other request under /t/TOKEN/ is recorded, and /t/TOKEN/log lists the recorded paths with their
queries, one a line; a request under /t/TOKEN/silent/ is recorded and then held unanswered for
a minute, and one under /t/TOKEN/trickle/ is answered one byte every 4 seconds, status line
first, for as long as the client listens; requests outside /t/ are recorded under the token
"-". Only ever bind it to addresses you mean to serve.
"""
import argparse
import http.server
import os
import pathlib
import re
import sys
import threading
import urllib.parse

ROOT = pathlib.Path(__file__).resolve().parent.parent


def project_version():
    text = (ROOT / "resources" / "brindle.rc").read_text(encoding="utf-8")
    match = re.search(r"^FILEVERSION\s+(\d+)\s*,\s*(\d+)\s*,\s*(\d+)", text, re.MULTILINE)
    return ".".join(match.groups()) if match else "0.0.0"


class Service(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, version, download, test_hooks):
        super().__init__(address, Handler)
        self.version = version
        self.download = download
        self.test_hooks = test_hooks
        self.lock = threading.Lock()
        self.replies = {}   # token -> bytes
        self.logs = {}      # token -> [path?query, ...]


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "BrindleUpdateService/1"

    def log_message(self, format, *args):  # quiet: the tests read /t/TOKEN/log instead
        pass

    def answer(self, status, body, content_type="text/plain; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def trickle(self, body):
        whole = b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body
        self.close_connection = True
        try:
            for i in range(len(whole)):
                self.wfile.write(whole[i:i + 1])
                self.wfile.flush()
                threading.Event().wait(4)
        except OSError:   # the client gave up
            pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        service = self.server
        if service.test_hooks and url.path.startswith("/t/"):
            self.test_route(url)
            return
        if service.test_hooks:   # pages opened in the browser, recorded under the token "-"
            with service.lock:
                service.logs.setdefault("-", []).append(url.path + ("?" + url.query if url.query else ""))
        if url.path.endswith("/brindle.php") and service.download:
            # Never built from the request: its Host header is whatever the client chose to send.
            self.answer(200, f"{service.version}>{service.download}\r\n".encode())
        elif url.path.endswith("/brindle.donate.php") or url.path == "/":
            page = "<!DOCTYPE html><title>Brindle</title><p>Brindle: thank you for your support.</p>\n"
            self.answer(200, page.encode(), "text/html; charset=utf-8")
        else:
            self.answer(404, b"<html><body>404 Not Found</body></html>\n", "text/html")

    def test_route(self, url):
        parts = url.path.split("/", 3)   # "", "t", token, rest
        token = parts[2] if len(parts) > 2 else ""
        rest = parts[3] if len(parts) > 3 else ""
        service = self.server
        with service.lock:
            if rest == "set":
                service.replies[token] = urllib.parse.unquote_to_bytes(url.query)
                service.logs[token] = []
                reply = b"ok"
            elif rest == "log":
                reply = "".join(line + "\n" for line in service.logs.get(token, [])).encode()
            else:
                service.logs.setdefault(token, []).append(url.path + ("?" + url.query if url.query else ""))
                reply = service.replies.get(token) if rest.endswith("brindle.php") else b"download"
        if rest.startswith("silent/"):   # a service that accepts and never answers
            threading.Event().wait(60)
            return
        if rest.startswith("trickle/"):   # a service that answers, but slower than anyone waits
            self.trickle(reply if reply is not None else b"")
            return
        if reply is None:
            self.answer(404, b"<html><body>404 Not Found</body></html>\n", "text/html")
        else:
            self.answer(200, reply)


def stop_after(service, pid):
    """A test run that was interrupted leaves no service behind."""
    while True:
        try:
            os.kill(pid, 0)
        except OSError:
            service.shutdown()
            return
        threading.Event().wait(1)


def main():
    parser = argparse.ArgumentParser(description="Reference update service for Brindle.")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=8080, help="port, 0 for any free one (default 8080)")
    parser.add_argument("--port-file", help="write the port in use to this file once listening")
    parser.add_argument("--version", default=project_version(), help="version to announce (default: the project's)")
    parser.add_argument("--download", help="download address sent after '>'; required unless --test-hooks "
                        "(then brindle.php outside /t/ announces nothing)")
    parser.add_argument("--test-hooks", action="store_true", help="per-test replies and request logs under /t/")
    parser.add_argument("--watch-pid", type=int, help="stop when this process has ended")
    args = parser.parse_args()
    if args.download is None and not args.test_hooks:
        parser.error("--download is required: the service announces no address of its own making")
    if args.download is not None and not re.match(r"(?i)https?://[^\s\"'<>]+$", args.download):
        parser.error("--download must be an http:// or https:// address without blanks, quotes or angle brackets")
    service = Service((args.host, args.port), args.version, args.download, args.test_hooks)
    if args.watch_pid:
        threading.Thread(target=stop_after, args=(service, args.watch_pid), daemon=True).start()
    port = service.server_address[1]
    if args.port_file:
        pathlib.Path(args.port_file).write_text(f"{port}\n")
    print(f"update service on http://{args.host}:{port}/skelby/services/brindle.php "
          f"announcing {service.version}", file=sys.stderr, flush=True)
    try:
        service.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
