#!/usr/bin/env python3
"""A small run of the benchmarks' delaying relay (bench/delayproxy.py): each
port reaches its own target, data crosses whole and in order both ways, the
end of one direction reaches the other side, a target that refuses closes
the client's connection, and SIGTERM stops the relay.

    bench/relay_smoke.py
"""

import os
import signal
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

# Only against hangs: nothing here depends on how long anything takes.
GUARD = 30.0


class Echo(socketserver.BaseRequestHandler):
    def handle(self):
        while True:
            data = self.request.recv(65536)
            if not data:
                break
            self.request.sendall(data)
        self.request.shutdown(socket.SHUT_WR)


def refused_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def through(port, chunks):
    """Sends the chunks, ends the sending side, and reads to the end. A
    connection the relay closed early gives what arrived before."""
    received = bytearray()
    with socket.create_connection(("127.0.0.1", port), timeout=GUARD) as s:
        try:
            for chunk in chunks:
                s.sendall(chunk)
            s.shutdown(socket.SHUT_WR)
        except (BrokenPipeError, ConnectionResetError, OSError) as error:
            if isinstance(error, socket.timeout):
                raise
        try:
            while True:
                data = s.recv(65536)
                if not data:
                    break
                received += data
        except ConnectionResetError:
            pass
    return bytes(received)


class EchoServer(socketserver.ThreadingTCPServer):
    # The relay connects once for each client; the default backlog of 5
    # would refuse some of the connections made at once.
    request_queue_size = 64


def main():
    server = EchoServer(("127.0.0.1", 0), Echo)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    echo = f"127.0.0.1:{server.server_address[1]}"
    dead = f"127.0.0.1:{refused_port()}"
    relay = os.path.join(os.path.dirname(os.path.abspath(__file__)), "delayproxy.py")
    failures = []

    def check(what, good):
        if not good:
            failures.append(what)

    with tempfile.TemporaryDirectory() as work:
        ports_file = os.path.join(work, "ports")
        proc = subprocess.Popen([sys.executable, relay, "--count", "3", "--delay", "0.01",
                                 "--ports-file", ports_file, echo, dead])
        try:
            deadline = time.monotonic() + GUARD
            while not os.path.exists(ports_file) and proc.poll() is None:
                if time.monotonic() > deadline:
                    sys.exit("the relay wrote no ports file")
                time.sleep(0.01)
            with open(ports_file) as f:
                lines = [line.split() for line in f]
            check("three ports, targets in turn",
                  [target for _, target in lines] == [echo, dead, echo])
            ports = [int(port) for port, _ in lines]

            chunks = [b"first ", bytes(range(256)) * 1000, b"", b" last"]
            expected = b"".join(chunks)
            check("data through the first port", through(ports[0], chunks) == expected)
            check("data through the third port", through(ports[2], [b"x" * 70000]) == b"x" * 70000)
            check("nothing from a refused target", through(ports[1], [b"hello"]) == b"")
            # Several connections at once, as a list run with jobs makes them.
            results = {}
            workers = [threading.Thread(target=lambda k=k: results.update(
                {k: through(ports[0], [str(k).encode() * 5000])})) for k in range(8)]
            for worker in workers:
                worker.start()
            for worker in workers:
                worker.join(GUARD)
            check("eight connections at once",
                  all(results.get(k) == str(k).encode() * 5000 for k in range(8)))
        finally:
            if proc.poll() is None:
                os.kill(proc.pid, signal.SIGTERM)
            try:
                status = proc.wait(GUARD)
            except subprocess.TimeoutExpired:
                os.kill(proc.pid, signal.SIGKILL)
                status = proc.wait()
        check(f"the relay ends on SIGTERM with status 0 (was {status})", status == 0)
    server.shutdown()
    for failure in failures:
        print("relay smoke run failed:", failure)
    if failures:
        return 1
    print("relay smoke run passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
