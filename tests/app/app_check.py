#!/usr/bin/env python3
"""Drives tavrix.exe under Wine on an X display through its interface trace and xdotool.

Checks: the window opens; a second start brings the first back and exits 0 without a log line;
the relay sheet shows a running relay and a closed port; the About card; "Start sharing" makes it
listen and a Linux-built viewer receives the screen; the nobody-watching prompt; a control request
and "Allow control" let the viewer's mouse through; "Stop sharing" ends a viewer with the host's
goodbye; closing while sharing hides to the tray; the tray menu's "Quit" ends with 0 and
"Tavrix exiting (0)"; settings and window placement survive a restart. Screenshots go to WORK.

Everything talks to 127.0.0.1 only. Expects DISPLAY and WINEPREFIX (a prefix of its own) set.
usage: app_check.py TAVRIX_EXE POST_MESSAGE_EXE NATIVE_CLI NATIVE_RELAY CONTROL_VIEWER WORK
"""
import glob
import json
import os
import shutil
import socket
import subprocess
import sys
import time

TRAY_CALLBACK = 0x8001
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_CONTEXTMENU = 0x007B
NIN_SELECT = 0x0400
CLASS = "TavrixHomeWindow"

# Widget ids of the home window (src/ui/home_view.h).
ABOUT, ABOUT_CLOSE = 100, 310
COMPRESS_COLOUR, START_STOP = 161, 165
PROMPT_KEEP, PROMPT_ALLOW = 301, 303
CONNECT_BROWSE, SHEET_CLOSE = 231, 323

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait(predicate, seconds):
    end = time.time() + seconds
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.2)
    return predicate()


class App:
    def __init__(self, exe, poster, work):
        self.exe, self.poster, self.work = exe, poster, work
        self.trace = os.path.join(work, "trace.jsonl")
        self.process = None
        prefix = os.environ["WINEPREFIX"]
        users = os.path.join(prefix, "drive_c", "users")
        self.data = None
        for user in sorted(glob.glob(os.path.join(users, "*"))):
            if os.path.basename(user) != "Public":
                self.data = os.path.join(user, "AppData", "Roaming", "Tavrix")
        os.makedirs(self.data, exist_ok=True)

    def env(self):
        env = dict(os.environ, WINEDEBUG="-all")
        env["TAVRIX_UI_TRACE"] = "Z:" + self.trace.replace("/", "\\")
        return env

    def start(self):
        if os.path.exists(self.trace):
            os.remove(self.trace)
        self.process = subprocess.Popen(["wine", self.exe], env=self.env(), stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run_again(self, seconds=60):
        """A second start; its exit code (None when it did not end)."""
        second = subprocess.Popen(["wine", self.exe], env=self.env(), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            return second.wait(seconds)
        except subprocess.TimeoutExpired:
            second.kill()
            return None

    def post(self, message, wparam=0, lparam=0):
        env = dict(os.environ, WINEDEBUG="-all")
        return subprocess.run(["wine", self.poster, CLASS, hex(message), hex(wparam), hex(lparam)], env=env,
                              stdin=subprocess.DEVNULL, capture_output=True).returncode == 0

    def widgets(self):
        try:
            with open(self.trace, encoding="utf-8") as f:
                lines = [line for line in f.read().splitlines() if line.strip()]
        except FileNotFoundError:
            return []
        for line in reversed(lines):
            try:
                doc = json.loads(line)
            except ValueError:
                continue
            if doc.get("window", "") in ("", "Tavrix"):
                return doc.get("widgets", [])
        return []

    def widget(self, wid, label=None, seconds=20):
        def find():
            for w in self.widgets():
                if w["id"] == wid and (label is None or w["label"] == label):
                    return w
            return None
        return wait(find, seconds)

    def click(self, wid, label=None, closes=False, until=None):
        """Clicks a widget. The trace gives screen positions as of the last frame, and a window
        that moved is only traced again once something is drawn: the mouse comes from beside the
        target (which draws a frame), then the widget is looked up again. With `closes` the widget
        (with that label) should be gone afterwards, with `until` the predicate should hold; a click
        that did not take is tried again (under Wine a click is now and then lost)."""
        verify = until
        if closes:
            verify = lambda: not self.widget(wid, label, 1.5)
        for _ in range(3 if verify else 1):
            w = self.widget(wid, label)
            if not w:
                return False
            x, y = w["x"] + w["w"] // 2, w["y"] + w["h"] // 2
            subprocess.run(["xdotool", "mousemove", str(x - 3), str(y - 3)], check=False)
            time.sleep(0.25)
            w = self.widget(wid, label, 2) or w
            x, y = w["x"] + w["w"] // 2, w["y"] + w["h"] // 2
            subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=False)
            time.sleep(0.25)
            subprocess.run(["xdotool", "click", "1"], check=False)
            time.sleep(0.6)
            if verify is None or wait(verify, 3):
                return True
            print("     (the click on %s was lost, once more)" % (label or wid), flush=True)
        return False

    def log(self):
        try:
            with open(os.path.join(self.data, "tavrix.log"), encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def settings(self):
        with open(os.path.join(self.data, "settings.json"), encoding="utf-8") as f:
            return json.load(f)

    def write_settings(self, values):
        with open(os.path.join(self.data, "settings.json"), "w", encoding="utf-8") as f:
            json.dump(values, f, indent=2)

    def window_ids(self, visible_only=True):
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible_only else []) + ["--name", "^Tavrix$"]
        out = subprocess.run(args, capture_output=True, text=True).stdout.split()
        return out

    def geometry(self):
        ids = self.window_ids()
        if not ids:
            return None
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ids[0]], capture_output=True,
                             text=True).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values.get("X", 0)), int(values.get("Y", 0)), int(values.get("WIDTH", 0)), int(values.get("HEIGHT", 0))

    def screenshot(self, name):
        path = os.path.join(self.work, name + ".png")
        xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True).stdout
        if shutil.which("convert"):
            subprocess.run(["convert", "xwd:-", path], input=xwd, check=False)
        else:
            path = path[:-4] + ".xwd"
            with open(path, "wb") as f:
                f.write(xwd)
        print("     screenshot " + path, flush=True)

    def wait_exit(self, seconds):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None


def viewer(cli, port, code, *extra, seconds=60):
    return subprocess.Popen([cli, "view", "127.0.0.1", "--port", str(port), "--code", code, *extra],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)


def main():
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    exe, poster, cli, relay_exe, control_viewer, work = sys.argv[1:]
    os.makedirs(work, exist_ok=True)
    app = App(exe, poster, work)
    port = free_port()
    code = "TEST42"
    for name in ("settings.json", "tavrix.log"):
        if os.path.exists(os.path.join(app.data, name)):
            os.remove(os.path.join(app.data, name))
    # The relay list is probed on the share port: one saved relay runs there, the other address
    # (another loopback address) has nothing listening.
    app.write_settings({"share.port": str(port), "share.requireCode": True, "share.code": code,
                        "connect.mode": 1, "relay.saved": ["127.0.0.1", "127.0.0.2"],
                        "relay.server": "127.0.0.1"})

    # 1. The window opens.
    app.start()
    check(app.widget(START_STOP, "Start sharing", 90) is not None, "the home window shows \"Start sharing\"")
    check(wait(lambda: app.window_ids(), 20), "the window is visible on the display")

    # 2. A second start brings the first back and ends with 0 without writing to the log.
    starts = app.log().count("Tavrix starting")
    check(app.run_again() == 0, "a second start exits with 0")
    check(app.log().count("Tavrix starting") == starts, "the second start wrote no log line")
    check(app.process.poll() is None, "the first instance still runs")

    # 3. The relay sheet checks the saved relays.
    relay = subprocess.Popen([relay_exe, "--bind", "127.0.0.1", "--port", str(port)], stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    check(app.click(CONNECT_BROWSE, "Browse...", until=lambda: app.widget(SHEET_CLOSE, "Close", 1)),
          "\"Browse...\" opens the relay sheet")
    online = "Relay 127.0.0.1 on port %d: online   0 sharing   0 connections carried" % port
    check(wait(lambda: online in app.log(), 30), "the running relay reads \"online   0 sharing   0 connections carried\"")
    check(wait(lambda: ("Relay 127.0.0.2 on port %d: cannot be reached" % port) in app.log(), 30),
          "the closed port reads \"cannot be reached\"")
    time.sleep(1)
    app.screenshot("relay-sheet")
    check(app.click(SHEET_CLOSE, "Close", closes=True), "\"Close\" closes the relay sheet")
    relay.terminate()
    relay.wait(10)

    # 4. The About card.
    check(app.click(ABOUT, "About", until=lambda: app.widget(ABOUT_CLOSE, "Close", 1)), "the header's \"About\" button")
    check(app.widget(ABOUT_CLOSE, "Close") is not None, "the About card is open")
    time.sleep(0.5)
    app.screenshot("about")
    check(app.click(ABOUT_CLOSE, "Close", closes=True), "\"Close\" closes the About card")
    time.sleep(0.5)
    app.screenshot("home-not-sharing")

    # 5. Sharing: a Linux-built viewer receives the screen.
    check(app.click(START_STOP, "Start sharing", closes=True), "press \"Start sharing\"")
    check(wait(lambda: ("Sharing started on port %d" % port) in app.log(), 30), "the host listens on the port")
    picture = os.path.join(work, "received.bmp")
    short = subprocess.run([cli, "view", "127.0.0.1", "--port", str(port), "--code", code, "--frames", "3",
                            "--save", picture, "--duration", "40"], capture_output=True, text=True)
    check(short.returncode == 0 and os.path.exists(picture) and os.path.getsize(picture) > 1000,
          "tavrix-cli view receives the screen")
    # It left while the share goes on: the nobody-watching prompt.
    check(app.widget(PROMPT_KEEP, "Keep sharing", 30) is not None, "the nobody-watching prompt opens")
    time.sleep(0.5)
    app.screenshot("prompt-nobody-watching")
    check(app.click(PROMPT_KEEP, "Keep sharing", closes=True), "\"Keep sharing\" closes the prompt")

    # 6. A viewer that stays, then "Stop sharing" ends it with the host's goodbye.
    watching = viewer(cli, port, code, "--duration", "120")
    time.sleep(4)
    app.screenshot("sharing-with-viewer")
    check(app.click(START_STOP, "Stop sharing", closes=True), "press \"Stop sharing\"")
    try:
        out, _ = watching.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        watching.kill()
        out, _ = watching.communicate()
    check('"event":"EndedByHost"' in out, "the viewer ended with the host's goodbye")

    # 7. A setting changed in the window, then sharing again.
    check(app.click(COMPRESS_COLOUR, until=lambda: (app.widget(COMPRESS_COLOUR) or {}).get("value") == "on"),
          "flip \"Compress colour harder\"")
    check(app.click(START_STOP, "Start sharing", closes=True), "share again")
    check(wait(lambda: app.log().count("Sharing started on port %d" % port) >= 2, 30), "listening again")

    # 8. A control request: the prompt, then "Allow control" lets the viewer's mouse through. It
    # comes last of the clicks: under Wine, the local mouse's clicks are at times lost once remote
    # input has moved the pointer, and what follows needs no click.
    asking = subprocess.Popen([control_viewer, str(port), code], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              text=True)
    check(app.widget(PROMPT_ALLOW, "Allow control", 40) is not None, "a control request opens its prompt")
    time.sleep(0.5)
    app.screenshot("prompt-control-request")
    check(app.click(PROMPT_ALLOW, "Allow control", closes=True), "\"Allow control\" closes the prompt")
    try:
        asked = asking.wait(60)
    except subprocess.TimeoutExpired:
        asking.kill()
        asked = None
    check(asked == 0, "the viewer was granted control and moved the mouse")
    location = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True, text=True).stdout
    values = dict(line.split("=", 1) for line in location.split() if "=" in line)
    x, y = int(values.get("X", -1)), int(values.get("Y", -1))
    screen = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True).stdout.split()
    sw, sh = (int(screen[0]), int(screen[1])) if len(screen) == 2 else (1280, 800)
    check(abs(x - sw * 0.25) <= 3 and abs(y - sh * 0.75) <= 3,
          "the viewer's mouse moved the pointer to (%d, %d), at %d, %d" % (sw // 4, sh * 3 // 4, x, y))
    check('"share.allowRemoteControl": true' in open(os.path.join(app.data, "settings.json")).read(),
          "allowing control was saved")

    # 9. Closing while sharing hides to the tray.
    geometry = app.geometry()
    check(app.post(WM_CLOSE), "post a close request")
    check(wait(lambda: not app.window_ids(), 20), "closing while sharing hides the window")
    time.sleep(1)
    check(app.process.poll() is None, "the process stays, in the tray")
    check(app.post(TRAY_CALLBACK, 0, NIN_SELECT), "click the tray icon")
    check(wait(lambda: app.window_ids(), 20), "the tray icon brings the window back")

    # 10. The tray menu's "Quit".
    app.post(TRAY_CALLBACK, 0, WM_CONTEXTMENU)
    time.sleep(1.5)
    app.screenshot("tray-menu")
    subprocess.run(["xdotool", "key", "Up", "Return"], check=False)
    code_seen = app.wait_exit(20)
    if code_seen is None:  # the menu did not take the keys: send what it would have sent
        app.post(WM_COMMAND, 403, 0)
        code_seen = app.wait_exit(30)
    check(code_seen == 0, "\"Quit\" ends the program with exit code 0 (%s)" % code_seen)
    check("Tavrix exiting (0)" in app.log(), "the log ends with \"Tavrix exiting (0)\"")
    saved = app.settings()
    check(saved.get("share.compressColour") is True, "the changed setting is in settings.json")
    check(all(k in saved for k in ("window.x", "window.y", "window.w", "window.h")), "the placement is saved")

    # 11. The next start restores both.
    app.start()
    toggle = app.widget(COMPRESS_COLOUR, None, 90)
    check(toggle is not None and toggle["value"] == "on", "\"Compress colour harder\" is still on")
    again = wait(lambda: app.geometry(), 20)
    check(geometry is not None and again is not None and abs(again[0] - geometry[0]) <= 2 and
          abs(again[1] - geometry[1]) <= 2 and abs(again[2] - geometry[2]) <= 2,
          "the window opens where it was (%s, then %s)" % (geometry, again))
    app.post(WM_COMMAND, 403, 0)
    check(app.wait_exit(30) == 0, "quit again")

    print("%d failure(s)" % len(failures))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
