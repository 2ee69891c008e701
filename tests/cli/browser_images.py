#!/usr/bin/env python3
"""Loads an HTML page in headless Chromium and asks it, through the DevTools
protocol, whether every picture of the page is complete and decoded.

    browser_images.py CHROMIUM PAGE.html EXPECTED_PICTURES [SECONDS]

Prints one line per picture that did not load and a summary; exits 0 when
the page holds EXPECTED_PICTURES pictures and all of them loaded, 1 otherwise.
Only the standard library: a minimal WebSocket client for the one connection.
"""
import base64
import json
import os
import pathlib
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request

CHECK = r"""
(async () => {
  if (document.readyState !== 'complete')
    await new Promise(done => window.addEventListener('load', done));
  const pictures = Array.from(document.images);
  await Promise.all(pictures.map(p => p.decode().catch(() => null)));
  return JSON.stringify({
    count: pictures.length,
    broken: pictures.filter(p => !(p.complete && p.naturalWidth > 0)).map(p => p.getAttribute('src')),
  });
})()
"""


class WebSocket:
    """Text frames over one client connection (RFC 6455), enough for DevTools."""

    def __init__(self, url, timeout):
        assert url.startswith("ws://")
        host_port, _, path = url[5:].partition("/")
        host, _, port = host_port.partition(":")
        self.sock = socket.create_connection((host, int(port)), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET /{path} HTTP/1.1\r\nHost: {host_port}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise OSError("the browser closed the connection during the handshake")
            reply += chunk
        if b" 101 " not in reply.split(b"\r\n", 1)[0]:
            raise OSError("no WebSocket upgrade: " + reply.split(b"\r\n", 1)[0].decode(errors="replace"))
        self.buffer = reply.split(b"\r\n\r\n", 1)[1]

    def send(self, text):
        data = text.encode()
        head = bytes([0x81])
        if len(data) < 126:
            head += bytes([0x80 | len(data)])
        elif len(data) < 65536:
            head += bytes([0x80 | 126]) + struct.pack(">H", len(data))
        else:
            head += bytes([0x80 | 127]) + struct.pack(">Q", len(data))
        mask = os.urandom(4)
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _read(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise OSError("the browser closed the connection")
            self.buffer += chunk
        out, self.buffer = self.buffer[:n], self.buffer[n:]
        return out

    def receive(self):
        message = b""
        while True:
            first, second = self._read(2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack(">H", self._read(2))[0]
            elif length == 127:
                length = struct.unpack(">Q", self._read(8))[0]
            payload = self._read(length)
            opcode = first & 0x0F
            if opcode == 8:
                raise OSError("the browser closed the connection")
            if opcode in (0, 1, 2):
                message += payload
                if first & 0x80:
                    return message.decode()


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    chromium, page, expected = sys.argv[1], pathlib.Path(sys.argv[2]).resolve(), int(sys.argv[3])
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 60
    deadline = time.monotonic() + seconds
    profile = tempfile.mkdtemp(prefix="lumenfall-chromium-")
    url = page.as_uri()
    args = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-breakpad",
            "--disable-crash-reporter", "--disable-dev-shm-usage", "--remote-debugging-port=0",
            "--user-data-dir=" + profile, "about:blank"]
    # A group of its own: helper processes left behind are ended with it.
    browser = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        port_file = pathlib.Path(profile) / "DevToolsActivePort"
        target = None
        while target is None:
            if time.monotonic() > deadline:
                print("browser_images: Chromium offered no page in time")
                return 1
            if browser.poll() is not None:
                print(f"browser_images: Chromium ended with {browser.returncode}")
                return 1
            time.sleep(0.2)
            if not port_file.exists() or not port_file.read_text().strip():
                continue
            port = port_file.read_text().split()[0]
            try:
                with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5) as reply:
                    targets = json.load(reply)
            except OSError:
                continue
            target = next((t for t in targets if t.get("type") == "page"), None)
        ws = WebSocket(target["webSocketDebuggerUrl"], max(1.0, deadline - time.monotonic()))
        calls = iter(range(1, 1000))

        def call(method, params=None, until=None):
            """Sends one command and returns its reply; with `until`, first waits for that event too."""
            number = next(calls)
            ws.send(json.dumps({"id": number, "method": method, "params": params or {}}))
            reply, seen = None, until is None
            while reply is None or not seen:
                message = json.loads(ws.receive())
                if message.get("id") == number:
                    reply = message
                elif message.get("method") == until:
                    seen = True
            return reply

        call("Page.enable")
        navigated = call("Page.navigate", {"url": url}, until="Page.loadEventFired")
        if "errorText" in navigated.get("result", {}):
            print("browser_images: cannot load the page: " + navigated["result"]["errorText"])
            return 1
        reply = call("Runtime.evaluate", {"expression": CHECK, "awaitPromise": True, "returnByValue": True})
        if "result" not in reply or "value" not in reply["result"].get("result", {}):
            print("browser_images: the check did not run: " + json.dumps(reply)[:400])
            return 1
        seen = json.loads(reply["result"]["result"]["value"])
        for src in seen["broken"]:
            print("broken picture: " + src)
        print(f"browser_images: {seen['count']} pictures, {len(seen['broken'])} broken, {expected} expected")
        return 0 if seen["count"] == expected and not seen["broken"] else 1
    finally:
        # The browser first, which ends its helpers; then whatever is left.
        for kill, wait in ((lambda: browser.terminate(), 10), (lambda: os.killpg(browser.pid, signal.SIGKILL), 5)):
            try:
                kill()
                browser.wait(timeout=wait)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
        try:
            os.killpg(browser.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
