#!/usr/bin/python3
"""The display's service run as far as this machine allows without systemd as init.

The unit's ExecStart line runs under setpriv as the unprivileged user nobody, with no new
privileges, in a mount namespace whose root is read-only but for its state directory, with
STATE_DIRECTORY, NOTIFY_SOCKET and WATCHDOG_USEC set as systemd sets them. The shipped
configuration file is used, with free loopback ports. Checked:
  - it says READY=1 on the notify socket, then pings the watchdog;
  - it takes a message and serves the page's /state;
  - killed (SIGKILL) and started again the same way, it shows the same board at once;
  - under strace, every system call it makes is one the unit's SystemCallFilter allows,
    every socket it opens is of a family RestrictAddressFamilies allows, and no memory is
    mapped writable and executable at once (MemoryDenyWriteExecute).

Environment: AFFICHEUR_DISPLAY (the built program), AFFICHEUR_SOURCE (the source tree),
AFFICHEUR_SANITIZED=1 for a sanitized build (its runtime's own calls: no audit).
Exit 0 passed, 1 failed, 77 skipped (not root, or no namespaces; a failure when
AFFICHEUR_REQUIRE_FAULTS=1, which ./test sets where the machine allows them).
"""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP = 77
PATIENCE = 20.0
NOBODY = 65534


def fail(why):
    print(f"service: FAIL: {why}", file=sys.stderr)
    sys.exit(1)


def skip(why):
    if os.environ.get("AFFICHEUR_REQUIRE_FAULTS") == "1":
        fail(f"{why} (this machine allows namespaces, so ./test requires this case)")
    print(f"service: SKIP: {why}")
    sys.exit(SKIP)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def unit_value(unit_text, key):
    values = [line.split("=", 1)[1].strip() for line in unit_text.splitlines()
              if line.startswith(key + "=")]
    return values


def syscall_group(name, seen=None):
    """The system calls of a systemd syscall group, nested groups expanded."""
    seen = set() if seen is None else seen
    if name in seen:
        return set()
    seen.add(name)
    out = subprocess.run(["systemd-analyze", "syscall-filter", name], capture_output=True,
                         text=True, timeout=60).stdout
    calls = set()
    for line in out.splitlines()[1:]:
        item = line.strip()
        if not item or item.startswith("#"):
            continue
        if item.startswith("@"):
            calls |= syscall_group(item, seen)
        else:
            calls.add(item)
    return calls


def allowed_syscalls(unit_text):
    allowed = set()
    denied = set()
    for value in unit_value(unit_text, "SystemCallFilter"):
        negate = value.startswith("~")
        for item in value.lstrip("~").split():
            calls = syscall_group(item) if item.startswith("@") else {item}
            (denied if negate else allowed).update(calls)
    return allowed - denied


class Service:
    """One run of the ExecStart line as the unit would run it."""

    def __init__(self, work, argv, env, trace=None):
        self.notify_path = os.path.join(work, f"notify-{time.monotonic_ns()}")
        self.notify = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.notify.bind(self.notify_path)
        os.chmod(self.notify_path, 0o666)
        state = env["STATE_DIRECTORY"]
        inner = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                 "--no-new-privs", "env", f"NOTIFY_SOCKET={self.notify_path}"]
        inner += [f"{k}={v}" for k, v in env.items()]
        if trace:
            inner += ["strace", "-f", "-qq", "-o", trace]
        inner += argv
        script = ('mount --bind "$0" "$0" && mount --bind "$1" "$1" && '
                  'mount -o remount,bind,ro / && shift && exec "$@"')
        self.process = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "sh", "-c", script, state,
             os.path.dirname(trace) if trace else state] + inner,
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "stderr.txt"), "ab"),
            start_new_session=True)

    def heard(self, until, within=PATIENCE):
        """Datagrams on the notify socket until one starts with until."""
        heard = []
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                break
            self.notify.settimeout(0.2)
            try:
                message = self.notify.recv(4096).decode()
            except socket.timeout:
                continue
            heard.append(message)
            if message.startswith(until):
                return heard
        fail(f"no {until!r} from the service; heard {heard}; it said: {self.stderr_tail()}")

    def stderr_tail(self):
        try:
            with open(os.path.join(os.path.dirname(self.notify_path), "stderr.txt")) as f:
                return f.read()[-2000:]
        except OSError:
            return ""

    def kill(self):
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait(timeout=PATIENCE)
        self.notify.close()


def get_state(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/state", timeout=5) as answer:
        return answer.status, answer.read().decode()


def send(port, data):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall(data)
        s.shutdown(socket.SHUT_WR)
        s.recv(1)


def wait_for(predicate, what):
    deadline = time.monotonic() + PATIENCE
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.05)
    fail(what)


def audit(trace_folder, unit_text):
    allowed = allowed_syscalls(unit_text)
    families = set(" ".join(unit_value(unit_text, "RestrictAddressFamilies")).split())
    families |= {"AF_LOCAL"} if "AF_UNIX" in families else set()
    made, bad_families, wx = set(), set(), []
    call = re.compile(r"^\d+\s+(?:<\.\.\. )?([a-z0-9_]+)(?:\(| resumed>)")
    for name in os.listdir(trace_folder):
        with open(os.path.join(trace_folder, name), errors="replace") as f:
            for line in f:
                m = call.match(line)
                if not m:
                    continue
                made.add(m.group(1))
                fam = re.search(r"\bsocket\((AF_[A-Z0-9]+)", line)
                if fam and fam.group(1) not in families:
                    bad_families.add(fam.group(1))
                if re.search(r"\b(mmap|mprotect|pkey_mprotect)\(", line) and \
                        "PROT_WRITE" in line and "PROT_EXEC" in line:
                    wx.append(line.strip())
    outside = sorted(made - allowed)
    if outside:
        fail(f"system calls outside the unit's SystemCallFilter: {', '.join(outside)}")
    if bad_families:
        fail(f"socket families outside RestrictAddressFamilies: {', '.join(sorted(bad_families))}")
    if wx:
        fail(f"memory mapped writable and executable: {wx[:3]}")
    print(f"service: strace: {len(made)} distinct system calls, all allowed; socket families "
          f"within {' '.join(sorted(families))}; nothing writable and executable")


def main():
    program = os.environ.get("AFFICHEUR_DISPLAY", "")
    source = os.environ.get("AFFICHEUR_SOURCE", "")
    if not os.access(program, os.X_OK):
        fail(f"afficheur-display is not built ({program})")
    for tool in ("unshare", "setpriv", "strace", "systemd-analyze"):
        if shutil.which(tool) is None:
            if os.environ.get("AFFICHEUR_REQUIRE_TOOLS") == "1":
                fail(f"{tool} is not installed (./test requires it)")
            skip(f"{tool} is not installed")
    if os.geteuid() != 0:
        skip("only root can run the service as another user in a mount namespace")
    if subprocess.run(["unshare", "--mount", "true"], capture_output=True).returncode != 0:
        skip("this machine refuses mount namespaces")

    with open(os.path.join(source, "packaging/service/afficheur-display.service")) as f:
        unit_text = f.read()
    with open(os.path.join(source, "packaging/service/display.conf")) as f:
        config_text = f.read()
    exec_start = unit_value(unit_text, "ExecStart")[0].split()

    work = tempfile.mkdtemp(prefix="afficheur-service.")
    os.chmod(work, 0o755)
    try:
        listen, http = free_port(), free_port()
        config = os.path.join(work, "display.conf")
        with open(config, "w") as f:
            f.write(config_text.replace("127.0.0.1:9100", f"127.0.0.1:{listen}")
                    .replace("127.0.0.1:8080", f"127.0.0.1:{http}"))
        argv = [program if a == "/usr/bin/afficheur-display" else
                config if a == "/etc/afficheur/display.conf" else a for a in exec_start]
        state = os.path.join(work, "state")
        traces = os.path.join(work, "trace")
        for folder in (state, traces):
            os.mkdir(folder, 0o700)
            os.chown(folder, NOBODY, NOBODY)
        env = {"STATE_DIRECTORY": state, "WATCHDOG_USEC": "400000"}
        for assignment in unit_value(unit_text, "Environment"):
            key, _, value = assignment.partition("=")
            env[key] = value

        first = Service(work, argv, env, trace=os.path.join(traces, "trace"))
        ready = first.heard("READY=1")[-1]
        print(f"service: ready: {ready!r}")
        first.heard("WATCHDOG=1")
        first.heard("WATCHDOG=1")
        status, body = get_state(http)
        if status != 200:
            fail(f"/state answered {status}")
        send(listen, "Caf\u00e9 cr\u00e8me".encode("cp1252"))
        send(listen, b"\xff3Caisse 2")
        wait_for(lambda: '"register":"Caisse 2"' in get_state(http)[1],
                 "the page never showed the messages")
        saved = os.path.join(state, f"display-{listen}.json")
        wait_for(lambda: os.path.exists(saved) and "Caisse 2" in open(saved).read(),
                 f"no board saved in {saved}")
        first.kill()

        second = Service(work, argv, env)
        second.heard("READY=1")
        body = get_state(http)[1]
        second.kill()
        if '"text":"Caf\u00e9 cr\u00e8me"' not in body or '"register":"Caisse 2"' not in body:
            fail(f"the board did not come back after a restart: {body}")
        print("service: the board came back after SIGKILL and a new start")
        if os.environ.get("AFFICHEUR_SANITIZED") == "1":
            print("service: a sanitized build: the strace audit is left to the plain build")
        else:
            audit(traces, unit_text)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("service: passed")


if __name__ == "__main__":
    main()
