"""A loopback HTTP server for the update check.

Serves, by default, a root page "/" (the connectivity test's target) and a 404
for everything else. Tests set routes per scenario:

    with UpdateServer() as server:             # 127.0.0.1:80
        server.set_descriptor("[MAIN]\\r\\nVER=1.1\\r\\nURL=http://www.declutra.com/dl\\r\\n")
        server.set_route(DESCRIPTOR_PATH, status=404)
        server.set_route(DESCRIPTOR_PATH, body=b"...", delay=2.0)   # slow
        server.set_route(DESCRIPTOR_PATH, hang=True)                # never answers until stopped
        server.set_route(DESCRIPTOR_PATH, body=b"...", drip=1.0)    # one byte of the body per second
        server.requests                                              # what was asked, in order

Run as a program it serves until interrupted:
    httpserver.py [--port 80] [--descriptor FILE | --descriptor-text TEXT]
"""
from __future__ import annotations

import argparse
import dataclasses
import http.server
import threading
import time

DESCRIPTOR_PATH = "/updates/declutra.txt"
UPDATE_HOST = "update.declutra.com"
WEB_HOST = "www.declutra.com"
CONNECT_TEST_HOST = "www.msftconnecttest.com"
HOST_NAMES = (UPDATE_HOST, WEB_HOST, CONNECT_TEST_HOST)


@dataclasses.dataclass
class Route:
    status: int = 200
    body: bytes = b""
    content_type: str = "text/plain"
    delay: float = 0.0
    hang: bool = False
    drip: float = 0.0  # seconds between the body's bytes


@dataclasses.dataclass
class Request:
    method: str
    path: str
    host: str
    time: float


class UpdateServer:
    def __init__(self, host: str = "127.0.0.1", port: int = 80):
        self.address = (host, port)
        self.routes: dict[str, Route] = {"/": Route(body=b"<html><body>ok</body></html>", content_type="text/html")}
        self.requests: list[Request] = []
        self._lock = threading.Lock()
        self._stopping = threading.Event()
        self._server: http.server.ThreadingHTTPServer | None = None
        self._thread: threading.Thread | None = None

    def set_route(self, path: str, status: int = 200, body: bytes | str = b"", content_type: str = "text/plain",
                  delay: float = 0.0, hang: bool = False, drip: float = 0.0) -> None:
        if isinstance(body, str):
            body = body.encode("utf-8")
        with self._lock:
            self.routes[path] = Route(status, body, content_type, delay, hang, drip)

    def set_descriptor(self, text: bytes | str, **kwargs) -> None:
        self.set_route(DESCRIPTOR_PATH, body=text, **kwargs)

    def remove_route(self, path: str) -> None:
        with self._lock:
            self.routes.pop(path, None)

    def start(self) -> "UpdateServer":
        if self._server:
            return self
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):  # quiet
                pass

            def _answer(self, with_body: bool):
                path = self.path.split("?", 1)[0]
                with owner._lock:
                    owner.requests.append(Request(self.command, path, self.headers.get("Host", ""), time.time()))
                    route = owner.routes.get(path)
                if route is None:
                    route = Route(status=404, body=b"not found")
                if (route.hang and owner._stopping.wait()) or (route.delay and owner._stopping.wait(route.delay)):
                    self.close_connection = True  # stopped: drop the connection without an answer
                    return
                self.send_response(route.status)
                self.send_header("Content-Type", route.content_type)
                self.send_header("Content-Length", str(len(route.body)))
                self.send_header("Cache-Control", "no-cache, no-store")
                self.end_headers()
                if not with_body:
                    return
                if not route.drip:
                    self.wfile.write(route.body)
                    return
                for i in range(len(route.body)):
                    if owner._stopping.wait(route.drip):
                        self.close_connection = True
                        return
                    self.wfile.write(route.body[i:i + 1])
                    self.wfile.flush()

            def do_GET(self):
                self._answer(True)

            def do_HEAD(self):
                self._answer(False)

        http.server.ThreadingHTTPServer.allow_reuse_address = True
        self._server = http.server.ThreadingHTTPServer(self.address, Handler)
        self._server.daemon_threads = True
        self._stopping.clear()
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self) -> None:
        self._stopping.set()
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._server = None
        if self._thread:
            self._thread.join(5)
            self._thread = None

    def __enter__(self) -> "UpdateServer":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.stop()


def hosts_text(names=HOST_NAMES) -> str:
    """A hosts file that maps the given names to the loopback address."""
    lines = ["127.0.0.1 localhost", "::1 localhost"]
    lines += [f"127.0.0.1 {name}" for name in names]
    return "\n".join(lines) + "\n"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--descriptor", help="file served at " + DESCRIPTOR_PATH)
    parser.add_argument("--descriptor-text", help="text served at " + DESCRIPTOR_PATH)
    parser.add_argument("--write-hosts", metavar="FILE", help="write a hosts file for the names and exit")
    args = parser.parse_args()
    if args.write_hosts:
        with open(args.write_hosts, "w") as f:
            f.write(hosts_text())
        return
    server = UpdateServer(args.host, args.port)
    if args.descriptor:
        with open(args.descriptor, "rb") as f:
            server.set_descriptor(f.read())
    elif args.descriptor_text is not None:
        server.set_descriptor(args.descriptor_text)
    server.start()
    print(f"serving on http://{args.host}:{args.port}/", flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        pass
    finally:
        server.stop()


if __name__ == "__main__":
    main()
