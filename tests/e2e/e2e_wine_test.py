#!/usr/bin/python3
"""End to end on Windows: the real .exe under Wine, in an X server of its own
(Xvfb) with a window manager (openbox), against the loopback servers of
tools/servers.sh, driven with xdotool and read back through the clipboard
(xclip), which Wine shares with X.

  1. paste a keyword (Wine loses characters typed as keys) and copy the rows;
  2. Ctrl+Alt+Q while another program (Wine's Notepad) has the keyboard: the
     main window comes back with the keyword box emptied and focused;
  3. submit a question: the mail arrives in the SMTP server's folder;
  4. publish v2.0 (signed), start again, Yes, 立即更新, copy "下载完成!" from
     its box with Ctrl+C, OK: exit code 0, the archive beside the program
     byte-identical, the desktop asked to open it;
  5. the same release with one byte changed: "文件校验失败!", the window
     stays, nothing kept, nothing opened.

Usage: e2e_wine_test.py <source dir> <program.exe> <folder for the test's Wine prefix>
The test has a Wine prefix and server of its own, so that Wine's desktop and
clipboard live on the test's display. Everything it starts, it ends by pid.
"""
import hashlib
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse

ROOT = pathlib.Path(sys.argv[1]).resolve()
PROGRAM = pathlib.Path(sys.argv[2]).resolve()
WINE_DIR = pathlib.Path(sys.argv[3]).resolve()
DEADLINE = time.monotonic() + 280
ARCHIVE_NAME = "KelvaroOstrin答题器.rar"
WINE = os.environ.get("KELVARO_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("KELVARO_WINESERVER", "/usr/lib/wine/wineserver64")

# Control positions in the main window's client area, from its table in ui/.
KEYWORD_BOX = (130, 25)
RESULT_LIST = (250, 120)
QUESTION_BOX = (150, 228)
SUBMIT_BUTTON = (372, 226)


class Failure(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)


def wait_for(what, probe, timeout=30.0, step=0.1):
    end = min(time.monotonic() + timeout, DEADLINE)
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        time.sleep(step)
    raise Failure(f"timed out waiting for {what}")


def port_free(port):
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def found_on_boundary(line: bytes, key: bytes) -> bool:
    """The lookup's rule: a match starts only where the character walk stands."""
    p = 0
    while p + len(key) <= len(line):
        if line[p:p + len(key)] == key:
            return True
        p += 2 if line[p] >= 0x80 else 1
    return False


def expected_rows(keyword: str):
    bank = (ROOT / "assets" / "bank.txt").read_bytes().split(b"\r\n")
    key = keyword.encode("gbk")
    rows = []
    for line in bank:
        if found_on_boundary(line, key):
            q, a = line.decode("gbk").split("|")
            rows.append(f"{len(rows) + 1}\t{q}\t{a}")
    return rows


class Session:
    def __init__(self, tmp: pathlib.Path):
        self.tmp = tmp
        self.procs = []
        self.env = {}
        self.wineserver = None
        self.servers_dir = tmp / "servers"
        self.servers_env = dict(os.environ, KELVARO_SERVERS_DIR=str(self.servers_dir))

    def start_x(self):
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        self.procs.append(xvfb)
        with os.fdopen(r) as f:
            display = f.readline().strip()
        check(display, "Xvfb did not report a display")
        self.display = f":{display}"
        fakebin = self.tmp / "fakebin"
        fakebin.mkdir()
        # The desktop's opener, which winebrowser calls: record what it was given.
        opener = fakebin / "xdg-open"
        opener.write_text(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{self.tmp}/opened.txt"\n')
        opener.chmod(0o755)
        # Wine's environment for the test's prefix, as tools/wine-env.sh sets it.
        base = dict(os.environ, KELVARO_WINE_DIR=str(WINE_DIR), KELVARO_WINE_DISPLAY=self.display,
                    PATH=f"{fakebin}:{os.environ['PATH']}")
        out = subprocess.run(["bash", "-c", f'. "{ROOT}/tools/wine-env.sh" && kelvaro_wine_prefix && env -0'],
                             env=base, capture_output=True, timeout=180)
        check(out.returncode == 0, f"the Wine prefix: {out.stderr.decode(errors='replace')}")
        self.env = dict(item.split("=", 1) for item in out.stdout.decode().split("\0") if "=" in item)
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(0.5)
        # A server of the test's own, for the whole session.
        self.wineserver = subprocess.Popen([WINESERVER, "-f", "-p"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def x(self, *args, check_rc=True):
        r = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True, timeout=30)
        if check_rc and r.returncode != 0:
            raise Failure(f"xdotool {' '.join(map(str, args))}: {r.stderr.strip()}")
        return r.stdout.strip()

    def find_window(self, name, timeout=30.0):
        def probe():
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=self.env,
                               capture_output=True, text=True, timeout=10)
            ids = r.stdout.split()
            return ids[-1] if ids else None
        return wait_for(f"a window named {name!r}", probe, timeout)

    def origin(self, wid):
        # xwininfo's, not xdotool's: under a reparenting window manager
        # xdotool counts the frame's offset twice.
        out = subprocess.run(["xwininfo", "-id", wid], env=self.env, capture_output=True, text=True,
                             timeout=10).stdout
        at = dict(line.strip().split(":  ", 1) for line in out.splitlines() if "Absolute upper-left" in line)
        return int(at["Absolute upper-left X"]), int(at["Absolute upper-left Y"])

    def click(self, wid, pos):
        x0, y0 = self.origin(wid)
        self.x("mousemove", "--sync", x0 + pos[0], y0 + pos[1])
        self.x("click", "1")
        time.sleep(0.4)

    def key(self, wid, *keys):
        if wid is not None:
            self.x("windowactivate", "--sync", wid, check_rc=False)
        for k in keys:
            self.x("key", "--clearmodifiers", k)
            time.sleep(0.1)
        time.sleep(0.4)

    def type(self, text):
        self.x("type", "--delay", "60", text)
        time.sleep(0.4)

    def paste(self, wid, text):
        """Put text on the clipboard, then Ctrl+V, as a player pastes a question."""
        owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], env=self.env,
                                 stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(owner)
        owner.stdin.write(text.encode("utf-8"))
        owner.stdin.close()
        time.sleep(0.5)
        self.key(wid, "ctrl+v")
        time.sleep(1.0)  # Wine asks the owner through its clipboard thread
        owner.terminate()
        owner.wait(5)

    def clipboard(self):
        r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, capture_output=True,
                           timeout=10)
        return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else ""

    def copied_rows(self, wid):
        self.click(wid, RESULT_LIST)
        self.key(wid, "ctrl+a", "ctrl+c")
        return wait_for("the copied rows", lambda: [l for l in self.clipboard().splitlines() if l] or None, 10)

    def start_program(self, bindir, program=None):
        p = subprocess.Popen([WINE, program or str(bindir / PROGRAM.name)], env=self.env, cwd=self.tmp,
                             stdout=subprocess.DEVNULL, stderr=open(self.tmp / "program.log", "ab"))
        self.procs.append(p)
        return p

    def servers(self, verb):
        subprocess.run([str(ROOT / "tools" / "servers.sh"), verb], env=self.servers_env, check=True,
                       stdout=subprocess.DEVNULL, timeout=60)

    def close(self):
        try:
            self.servers("stop")
        except Exception:
            pass
        if self.wineserver is not None:
            # The programs of this server's prefix, then the server, by its pid.
            subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True, timeout=30)
            self.procs.append(self.wineserver)
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait(5)


def exit_code(prog, timeout, what):
    return wait_for(what, lambda: prog.poll() is not None and (prog.returncode,), timeout)


def update_to_the_end(s, bindir, wanted):
    """Starts the program, says Yes, presses 立即更新; returns the copied box text."""
    prog = s.start_program(bindir)
    prompt = s.find_window("^提示$", 60)
    s.key(prompt, "Return")  # Yes is the default button
    update = s.find_window("^自动更新$")
    s.key(update, "space")  # 立即更新 has the focus
    box = s.find_window("^信息：$", timeout=60)
    s.click(box, (10, 10))  # a click on the message's face gives it the keyboard
    s.key(box, "ctrl+c")
    text = wait_for("the message text", lambda: wanted in s.clipboard() and s.clipboard(), 10)
    s.key(box, "Return")
    return prog, text


def run(s: Session):
    for port in (18080, 2525):
        check(port_free(port), f"port {port} is taken: the default build's servers need it")
    bindir = s.tmp / "bin"
    bindir.mkdir()
    shutil.copy2(PROGRAM, bindir / PROGRAM.name)
    s.start_x()
    s.servers("start")
    (s.servers_dir / "mail").mkdir(parents=True, exist_ok=True)

    # 1. A keyword lists the bank's hits, numbered, with their answers.
    started = time.monotonic()
    prog = s.start_program(bindir)
    main = s.find_window("KelvaroOstrin", 60)
    print(f"ok: the main window is up {time.monotonic() - started:.1f} s after the start")
    keyword, other = "长江", "黄河"
    want = expected_rows(keyword)
    check(want and expected_rows(other), "the bank has no line for a test keyword")
    s.click(main, KEYWORD_BOX)
    s.paste(main, keyword)
    got = s.copied_rows(main)
    check(got == want, f"rows differ:\n got {got[:5]}\nwant {want[:5]}")
    print(f"ok: {keyword!r} lists {len(got)} rows")

    # 2. The hot key brings the window back from another program, the box
    #    empty and in focus: what is pasted then is the only keyword. Wine
    #    sees a hot key only while one of its own windows has the keyboard,
    #    so the other program is one of Wine's (its Notepad).
    notepad = s.start_program(None, "notepad.exe")
    other_window = s.find_window("Notepad$")
    s.x("windowactivate", "--sync", other_window, check_rc=False)
    wait_for("the other program to have the keyboard", lambda: s.x("getactivewindow", check_rc=False) == other_window, 10)
    s.x("key", "--clearmodifiers", "ctrl+alt+q")
    wait_for("the main window to come back on Ctrl+Alt+Q", lambda: s.x("getactivewindow", check_rc=False) == main, 10)
    s.paste(None, other)
    got = s.copied_rows(main)
    check(got == expected_rows(other), f"after the hot key, rows differ:\n got {got[:3]}\nwant {expected_rows(other)[:3]}")
    print(f"ok: Ctrl+Alt+Q raised the window from another program; {other!r} alone lists {len(got)} rows")
    notepad.terminate()
    notepad.wait(10)

    # 3. A submitted question reaches the mail server.
    question = "E2E question 7391: how many H2O?"
    s.click(main, QUESTION_BOX)
    s.type(question)
    s.click(main, SUBMIT_BUTTON)
    mail_dir = s.servers_dir / "mail"
    record = wait_for("the submitted mail", lambda: sorted(mail_dir.glob("*.json")) or None, 20)
    mail = json.loads(record[-1].read_text())
    body = json.dumps(mail, ensure_ascii=False)
    check(question.encode("gbk").hex() in body or question in body, f"the mail does not hold the question: {body[:400]}")
    print(f"ok: the question arrived as {record[-1].name}")
    s.key(main, "Escape")
    rc = exit_code(prog, 15, "the program to end on Esc")
    check(rc == (0,), f"exit code {rc}")

    # 4. A newer version: Yes, 立即更新, the download to "下载完成!".
    out = subprocess.run([str(ROOT / "tools" / "publish_version.sh"), "v2.0"], env=s.servers_env, check=True,
                         capture_output=True, text=True, timeout=60).stdout
    print("ok:", out.strip())
    site_archive = s.servers_dir / "site" / os.fsdecode(ARCHIVE_NAME.encode("gbk"))
    published = site_archive.read_bytes()
    prog, text = update_to_the_end(s, bindir, "下载完成!")
    rc = exit_code(prog, 20, "the program to end after the download")
    check(rc == (0,), f"exit code {rc}")
    archive = bindir / ARCHIVE_NAME
    check(archive.exists(), f"no archive beside the program: {sorted(p.name for p in bindir.iterdir())}")
    check(archive.read_bytes() == published, "the archive differs from the published one")
    check(not (bindir / (ARCHIVE_NAME + ".part")).exists(), "a .part file was left behind")
    opened = wait_for("the desktop to be asked to open the archive",
                      lambda: (s.tmp / "opened.txt").exists() and (s.tmp / "opened.txt").read_text(), 10)
    opened_paths = [urllib.parse.unquote(urllib.parse.urlsplit(u).path) for u in opened.split()]
    check(str(archive) in opened_paths, f"the desktop was not asked to open the archive: {opened!r}")
    check(text.startswith("---------------------------"), f"the copy is not in Windows' format: {text!r}")
    print(f"ok: {text.strip()!r}, signed archive of {len(published)} bytes, "
          f"sha256 {hashlib.sha256(published).hexdigest()[:16]}")

    # 5. The same release with one byte changed on the server: refused.
    tampered = bytearray(published)
    tampered[len(tampered) // 2] ^= 0x01
    tmp = site_archive.with_name(site_archive.name + ".tmp")
    tmp.write_bytes(bytes(tampered))
    os.replace(tmp, site_archive)
    archive.unlink()
    prog, text = update_to_the_end(s, bindir, "文件校验失败!")
    time.sleep(1)
    check(prog.poll() is None, f"the program ended after a refused archive (exit code {prog.returncode})")
    update = s.find_window("^自动更新$", timeout=5)
    check(not archive.exists(), "a refused archive was put beside the program")
    check(not (bindir / (ARCHIVE_NAME + ".part")).exists(), "a refused archive's .part was left behind")
    opened_after = (s.tmp / "opened.txt").read_text()
    check(opened_after == opened, f"the desktop was asked to open something: {opened_after!r}")
    s.key(update, "Escape")
    rc = exit_code(prog, 15, "the program to end on Esc")
    check(rc == (0,), f"exit code {rc}")
    print(f"ok: a tampered archive: {text.splitlines()[3].strip()!r}, nothing kept, nothing opened")


def main():
    tmp = pathlib.Path(tempfile.mkdtemp(prefix="kelvaro-e2e-wine-"))
    s = Session(tmp)
    try:
        run(s)
        print("1 passed, 0 failed")
        return 0
    except Failure as e:
        print(f"FAILED: {e}")
        if "DISPLAY" in s.env:
            r = subprocess.run(["xdotool", "search", "--name", "."], env=s.env, capture_output=True, text=True)
            names = [subprocess.run(["xdotool", "getwindowname", w], env=s.env, capture_output=True,
                                    text=True).stdout.strip() for w in r.stdout.split()]
            print("windows:", [n for n in names if n])
            shot = pathlib.Path(os.environ.get("KELVARO_E2E_SHOT", "/tmp/kelvaro-e2e-wine-failure.png"))
            subprocess.run(["import", "-window", "root", str(shot)], env=s.env, capture_output=True)
            print(f"screen at {shot}")
        log = tmp / "program.log"
        if log.exists():
            print(log.read_text(errors="replace")[-2000:])
        return 1
    finally:
        s.close()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
