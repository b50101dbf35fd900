"""Private slapd servers and a delaying relay in front of them, for the
benchmarks of list runs against servers.

Everything listens on 127.0.0.1 only, on ports the kernel picks, runs from
a temporary folder removed at the end, and is stopped by its process id;
the kernel kills what is left if the benchmark itself dies.
"""

import contextlib
import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SLAPD = "/usr/sbin/slapd"
SCHEMA_DIR = "/etc/ldap/schema"
MODULE_DIR = "/usr/lib/ldap"
START_LIMIT = 15.0
START_ATTEMPTS = 5

_PR_SET_PDEATHSIG = 1
_CLONE_NEWUTS = 0x04000000


def available():
    """Why servers cannot be started here, or None."""
    if not os.access(SLAPD, os.X_OK):
        return f"{SLAPD} is not installed (the slapd package)"
    if not os.path.isfile(os.path.join(SCHEMA_DIR, "core.schema")):
        return f"no {SCHEMA_DIR}/core.schema"
    return None


def _child_setup(own_host_name):
    """Runs in the child before exec: only system calls from here."""
    libc = ctypes.CDLL(None, use_errno=True)

    def setup():
        libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)
        # slapd asks for its own fully qualified name at start; with a host
        # name of its own it finds it in /etc/hosts rather than asking a
        # name server that may not answer. Where that is not allowed, it
        # runs with the machine's name.
        if own_host_name and libc.unshare(_CLONE_NEWUTS) == 0:
            libc.sethostname(b"localhost", 9)

    return setup


def _free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _stop(proc, grace=5.0):
    if proc.poll() is not None:
        return
    os.kill(proc.pid, signal.SIGTERM)
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        os.kill(proc.pid, signal.SIGKILL)
        proc.wait()


def _answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def _quoted(value):
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Slapd:
    """One slapd with the named schema files, an empty database and read access for all."""

    def __init__(self, folder, schemas):
        self.folder = folder
        self.port = 0
        self.proc = None
        os.makedirs(os.path.join(folder, "db"))
        conf = [f"include {_quoted(os.path.join(SCHEMA_DIR, name + '.schema'))}"
                for name in schemas]
        conf += [f"pidfile {_quoted(os.path.join(folder, 'slapd.pid'))}",
                 f"argsfile {_quoted(os.path.join(folder, 'slapd.args'))}",
                 "loglevel none",
                 f"modulepath {_quoted(MODULE_DIR)}",
                 "moduleload back_mdb",
                 "access to * by * read",
                 "database mdb",
                 'suffix "dc=example,dc=com"',
                 f"directory {_quoted(os.path.join(folder, 'db'))}"]
        self.conf = os.path.join(folder, "slapd.conf")
        with open(self.conf, "w") as out:
            out.write("\n".join(conf) + "\n")

    def start(self):
        deadline = time.monotonic() + START_LIMIT
        for _ in range(START_ATTEMPTS):
            error = self._launch(deadline)
            if error is None:
                return
            # Another process can take the port between our choosing it and slapd binding it.
            if "Address already in use" not in error or time.monotonic() > deadline:
                raise RuntimeError(error)
        raise RuntimeError(error)

    def _launch(self, deadline):
        self.port = _free_port()
        pid_file = os.path.join(self.folder, "slapd.pid")
        with contextlib.suppress(FileNotFoundError):
            os.remove(pid_file)
        log_path = os.path.join(self.folder, "slapd.log")
        with open(log_path, "w") as log:
            # "-d none" keeps slapd in the foreground: the process we stop is the server.
            self.proc = subprocess.Popen(
                [SLAPD, "-d", "none", "-f", self.conf, "-h", f"ldap://127.0.0.1:{self.port}/"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                preexec_fn=_child_setup(True))
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                with open(log_path) as log:
                    return f"slapd ended with status {self.proc.returncode}:\n{log.read()}"
            # slapd writes its pid file only after binding its listener.
            with contextlib.suppress(FileNotFoundError):
                with open(pid_file) as f:
                    if f.read().strip() == str(self.proc.pid) and _answers(self.port):
                        return None
            time.sleep(0.01)
        self.stop()
        return f"slapd did not answer on port {self.port} within {START_LIMIT:.0f} s"

    def stop(self):
        if self.proc is not None:
            _stop(self.proc)


@contextlib.contextmanager
def delayed_servers(schema_sets, count, delay):
    """Starts one slapd per schema set and a relay with `count` ports in
    front of them, the k-th port reaching server k mod len(schema_sets).
    Yields (relay ports, direct ports of the servers)."""
    top = tempfile.mkdtemp(prefix="tavler-bench-servers-")
    servers = []
    relay = None
    try:
        for k, schemas in enumerate(schema_sets):
            server = Slapd(os.path.join(top, f"slapd{k}"), schemas)
            servers.append(server)
            server.start()
        ports_file = os.path.join(top, "relay.ports")
        relay_log = open(os.path.join(top, "relay.log"), "w")
        with relay_log:
            relay = subprocess.Popen(
                [sys.executable, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                              "delayproxy.py"),
                 "--count", str(count), "--delay", str(delay), "--ports-file", ports_file]
                + [f"127.0.0.1:{s.port}" for s in servers],
                stdin=subprocess.DEVNULL, stdout=relay_log, stderr=subprocess.STDOUT,
                preexec_fn=_child_setup(False))
        deadline = time.monotonic() + START_LIMIT
        while not os.path.exists(ports_file):
            if relay.poll() is not None or time.monotonic() > deadline:
                with open(os.path.join(top, "relay.log")) as log:
                    raise RuntimeError(f"the relay did not start:\n{log.read()}")
            time.sleep(0.01)
        with open(ports_file) as f:
            ports = [int(line.split()[0]) for line in f]
        yield ports, [s.port for s in servers]
    finally:
        if relay is not None:
            _stop(relay)
        for server in servers:
            server.stop()
        shutil.rmtree(top, ignore_errors=True)
