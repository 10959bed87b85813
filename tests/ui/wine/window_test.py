#!/usr/bin/env python3
"""Window tests of the Windows build: tavrix-gallery.exe under Wine on a private Xvfb display.

Each case starts its own Xvfb (size and DPI per case), its own wineserver on a window-test prefix,
the gallery with an interface trace, then clicks, drags and types with xdotool at positions read
from the trace and checks the trace and screenshot pixels. A failing case keeps its screenshot in
the work folder (CASE-failed.png); the gallery screenshots at 96 and 144 DPI are always kept.

    window_test.py --case NAME --exe tavrix-gallery.exe --prefix DIR --work DIR
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# Theme colours the checks look for.
BACKGROUND = (0x14, 0x16, 0x1A)
PANEL = (0x1A, 0x1D, 0x23)
CONTROL = (0x1E, 0x22, 0x2A)
ACCENT = (0x25, 0xE0, 0x7A)
LIGHT_ACCENT = (0xF2, 0xF5, 0xF8)
CLOSE_HOVER = (0xE8, 0x11, 0x23)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Rig:
    def __init__(self, args, screen, dpi, extra=()):
        self.args = args
        self.work = args.work
        self.trace_path = os.path.join(self.work, args.case + ".trace")
        self.env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all", WINEARCH="win64")
        self.env.pop("TAVRIX_UI_TRACE", None)
        self.env.pop("DISPLAY", None)  # only ever the private display
        self.xvfb = None
        self.app = None
        self.launch = (screen, dpi, extra)

    def start(self):
        args = self.args
        screen, dpi, extra = self.launch
        self.start_display(screen)
        self.prepare_prefix(dpi)
        if os.path.exists(self.trace_path):
            os.remove(self.trace_path)
        command = ["wine", args.exe, "--trace", "Z:" + self.trace_path.replace("/", "\\")] + list(extra)
        self.app = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for(lambda: self.frame() is not None, 60, "the gallery window never showed its widgets")
        self.wait_for(self.title_band_shown, 30, "the window's title bar never reached the screen")

    def title_band_shown(self):
        close = self.widget(id=0x7F000003)
        if close is None:
            return False
        self.screenshot()
        x, y = close["x"] - 200, close["y"] + 3
        return 0 <= x < self.shot_w and 0 <= y < self.shot_h and self.pixel(x, y) != (0, 0, 0)

    # --- environment ---------------------------------------------------------------------------
    def start_display(self, screen):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", screen + "x24",
                                      "-nolisten", "tcp"], pass_fds=(write_fd,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise Failure("Xvfb did not start")
            number += chunk
        os.close(read_fd)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.screen = tuple(int(v) for v in screen.split("x"))

    def wine(self, *command):
        subprocess.run(["wine"] + list(command), env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def prepare_prefix(self, dpi):
        prefix = self.args.prefix
        os.makedirs(prefix, exist_ok=True)
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL, check=False)
        subprocess.Popen(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).wait()
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            subprocess.run(["wineboot", "-i"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        # Fonts Wine lacks, no crash dialog, windows Wine places itself without decorations (there is no
        # window manager: a decorated window would lose its top to a frame nobody draws, and
        # maximising would wait for a manager's answer) and the DPI.
        reg = os.path.join(prefix, "window-test.reg")
        with open(reg, "w") as f:
            f.write("REGEDIT4\n\n"
                    "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"
                    "\"Segoe UI\"=\"DejaVu Sans\"\n\"Consolas\"=\"DejaVu Sans Mono\"\n\n"
                    "[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n\"ShowCrashDialog\"=dword:00000000\n\n"
                    "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n\"Decorated\"=\"N\"\n\"Managed\"=\"N\"\n\n"
                    "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"LogPixels\"=dword:%08x\n" % dpi)
        self.wine("regedit", "/S", "Z:" + reg.replace("/", "\\"))

    def stop(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL, check=False)
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait()

    # --- trace ---------------------------------------------------------------------------------
    def lines(self):
        try:
            with open(self.trace_path, encoding="utf-8") as f:
                raw = f.read().splitlines()
        except FileNotFoundError:
            return []
        out = []
        for line in raw:
            try:
                out.append(json.loads(line))
            except ValueError:
                pass
        return out

    def frame(self):
        frames = [l for l in self.lines() if "widgets" in l]
        return frames[-1] if frames else None

    def stats(self):
        stats = [l for l in self.lines() if "frames" in l]
        return stats[-1] if stats else None

    def widget(self, label=None, id=None, kind=None):
        frame = self.frame() or {"widgets": []}
        for w in frame["widgets"]:
            if (label is None or w.get("label") == label or w.get("value") == label) and \
               (id is None or w["id"] == id) and (kind is None or w["kind"] == kind):
                return w
        return None

    def need(self, **query):
        w = self.widget(**query)
        check(w is not None, "no widget %s in the trace" % query)
        return w

    @staticmethod
    def wait_for(predicate, seconds, message):
        end = time.time() + seconds
        while time.time() < end:
            if predicate():
                return
            time.sleep(0.1)
        raise Failure(message)

    # --- input ---------------------------------------------------------------------------------
    def xdo(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True)

    def click_at(self, x, y):
        self.xdo("mousemove", int(x), int(y))
        time.sleep(0.15)
        self.xdo("click", 1)
        time.sleep(0.3)

    def click(self, widget, dx=None, dy=None):
        self.click_at(widget["x"] + (widget["w"] // 2 if dx is None else dx),
                      widget["y"] + (widget["h"] // 2 if dy is None else dy))

    def drag(self, x, y, to_x, to_y):
        self.xdo("mousemove", int(x), int(y))
        time.sleep(0.15)
        self.xdo("mousedown", 1)
        time.sleep(0.2)
        steps = 8
        for i in range(1, steps + 1):
            self.xdo("mousemove", int(x + (to_x - x) * i / steps), int(y + (to_y - y) * i / steps))
            time.sleep(0.05)
        time.sleep(0.2)
        self.xdo("mouseup", 1)
        time.sleep(0.5)

    def key(self, *keys):
        self.xdo("key", "--delay", 60, *keys)
        time.sleep(0.4)

    def type(self, text):
        self.xdo("type", "--delay", 60, text)
        time.sleep(0.4)

    # --- screen --------------------------------------------------------------------------------
    def screenshot(self, keep_as=None):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env, check=True,
                              stdout=subprocess.PIPE).stdout
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        check(match is not None and match.group(3) == b"255", "the screenshot is not an 8-bit PPM picture")
        self.shot_w, self.shot_h = int(match.group(1)), int(match.group(2))
        self.shot = data[match.end():]
        self.shot_raw = data
        if keep_as:
            self.keep(keep_as)

    def keep(self, name):
        if getattr(self, "shot_raw", None):
            subprocess.run(["convert", "ppm:-", os.path.join(self.work, name)], input=self.shot_raw, check=False)

    def pixel(self, x, y):
        x, y = int(x), int(y)
        check(0 <= x < self.shot_w and 0 <= y < self.shot_h, "pixel %d,%d outside the screen" % (x, y))
        i = (y * self.shot_w + x) * 3
        return tuple(self.shot[i:i + 3])

    def expect_colour(self, x, y, colour, what, tolerance=6):
        # Frames are slow under Wine: a colour not there yet is looked for again for a few seconds.
        end = time.time() + 5
        while True:
            got = self.pixel(x, y)
            if all(abs(a - b) <= tolerance for a, b in zip(got, colour)):
                return
            if time.time() > end:
                raise Failure("%s at %d,%d is #%02X%02X%02X, expected #%02X%02X%02X" % ((what, x, y) + got + colour))
            time.sleep(0.3)
            self.screenshot()

    def distinct_colours(self, w, inset=4):
        seen = set()
        for y in range(w["y"] + inset, w["y"] + w["h"] - inset):
            for x in range(w["x"] + inset, w["x"] + w["w"] - inset):
                seen.add(self.pixel(x, y))
        return seen

    def window_geometry(self):
        out = subprocess.run(["xdotool", "search", "--name", "Tavrix widget gallery", "getwindowgeometry"],
                             env=self.env, stdout=subprocess.PIPE, text=True).stdout
        pos = re.search(r"Position: (-?\d+),(-?\d+)", out)
        size = re.search(r"Geometry: (\d+)x(\d+)", out)
        check(pos and size, "no gallery window on the display")
        return tuple(int(v) for v in pos.groups() + size.groups())

    def process_cpu_seconds(self):
        # The Wine process of the gallery: the launched process or one of its descendants.
        best = 0.0
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    cmd = f.read()
                with open("/proc/%s/environ" % pid, "rb") as f:
                    environ = f.read()
                if b"tavrix-gallery" not in cmd or ("DISPLAY=" + self.env["DISPLAY"]).encode() + b"\0" not in environ:
                    continue
                with open("/proc/%s/stat" % pid) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                best = max(best, (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK"))
            except OSError:
                continue
        return best

    def close_window(self):
        self.click(self.need(id=0x7F000003))
        self.wait_for(lambda: self.app.poll() is not None, 20, "the window did not close")
        check(self.app.returncode == 0, "the gallery ended with %d" % self.app.returncode)


# --- cases --------------------------------------------------------------------------------------
def case_render(rig):
    rig.xdo("mousemove", 1, rig.screen[1] - 1)
    time.sleep(0.5)
    rig.screenshot("gallery-96.png")
    close = rig.need(id=0x7F000003)
    band_y = close["y"] + 5
    rig.expect_colour(close["x"] - 300, band_y, PANEL, "title bar")
    tab = rig.need(label="Default accent")
    rig.expect_colour(tab["x"] + 6, tab["y"] + tab["h"] // 2, ACCENT, "selected tab")
    rig.expect_colour(tab["x"] + 2, tab["y"] - 6, BACKGROUND, "background above the tabs")
    button = rig.need(label="Button")
    rig.expect_colour(button["x"] + 5, button["y"] + button["h"] // 2, CONTROL, "button fill")
    # Text is drawn: the label's box holds more than the fill and a border colour.
    for label in ("Button", "Primary", "Default accent", "Switched on"):
        w = rig.need(label=label)
        check(len(rig.distinct_colours(w)) > 8, "no text drawn in %s" % label)
    rig.click(rig.need(label="Light accent"))
    rig.wait_for(lambda: rig.need(label="Light accent").get("value") == "selected", 5, "light accent not chosen")
    time.sleep(0.5)
    rig.xdo("mousemove", 1, rig.screen[1] - 1)
    time.sleep(0.5)
    rig.screenshot("gallery-96-light.png")
    light = rig.need(label="Light accent")
    rig.expect_colour(light["x"] + 6, light["y"] + light["h"] // 2, LIGHT_ACCENT, "light accent tab")
    rig.close_window()


def case_toggle(rig):
    toggle = rig.need(label="Switched off", kind="toggle")
    before = toggle["value"]
    rig.click(toggle, dx=12)
    rig.wait_for(lambda: rig.need(id=toggle["id"])["value"] != before, 5, "the toggle did not flip")
    rig.screenshot()
    rig.expect_colour(toggle["x"] + 5, toggle["y"] + toggle["h"] // 2, ACCENT, "switched-on track", 20)


def case_dropdown(rig):
    box = rig.need(label="Balanced", kind="dropdown")
    rig.click(box)
    rig.wait_for(lambda: rig.widget(label="Lowest", kind="dropdown-item"), 5, "the dropdown did not open")
    rig.click(rig.need(label="Lowest", kind="dropdown-item"))
    rig.wait_for(lambda: rig.need(id=box["id"])["value"] == "Lowest", 5, "the dropdown did not pick Lowest")
    check(rig.widget(kind="dropdown-item") is None, "the popup stayed open after picking")


def case_text(rig):
    field = rig.need(label="your name", kind="textfield")
    fid = field["id"]
    rig.click(field)
    rig.type("abc")
    rig.wait_for(lambda: rig.need(id=fid)["value"] == "abc", 5, "typing did not reach the field")
    rig.key("ctrl+a", "ctrl+c", "End", "ctrl+v")
    rig.wait_for(lambda: rig.need(id=fid)["value"] == "abcabc", 5,
                 "ctrl+A, ctrl+C, End, ctrl+V gave %r" % rig.need(id=fid)["value"])
    rig.key("ctrl+a", "BackSpace")
    rig.wait_for(lambda: rig.need(id=fid)["value"] == "", 5, "ctrl+A and Backspace did not clear the field")
    rig.key("ctrl+v")
    rig.wait_for(lambda: rig.need(id=fid)["value"] == "abc", 5, "paste after clearing failed")


def case_titlebar(rig):
    close = rig.need(id=0x7F000003)
    start = rig.window_geometry()
    y = close["y"] + close["h"] // 2
    rig.drag(close["x"] - 400, y, close["x"] - 400 + 60, y + 40)
    rig.wait_for(lambda: rig.window_geometry()[:2] == (start[0] + 60, start[1] + 40), 5,
                 "dragging the title bar moved the window from %s to %s" % (start[:2], rig.window_geometry()[:2]))
    moved = rig.window_geometry()
    minimise = rig.need(id=0x7F000001)
    check(minimise["x"] == rig.widget(id=0x7F000001)["x"], "trace out of date")
    rig.drag(minimise["x"] + 10, minimise["y"] + 10, minimise["x"] - 90, minimise["y"] + 60)
    check(rig.window_geometry()[:2] == moved[:2], "dragging over the window buttons moved the window")


def case_buttons(rig):
    start = rig.window_geometry()
    home = rig.need(id=0x7F000002)
    rig.click(home)
    rig.wait_for(lambda: rig.window_geometry()[2] >= rig.screen[0] and rig.need(id=0x7F000002)["y"] == 0, 5,
                 "maximise did not fill the screen")
    rig.screenshot()
    rig.click(rig.need(id=0x7F000002))
    rig.wait_for(lambda: rig.window_geometry() == start and rig.need(id=0x7F000002)["x"] == home["x"], 5,
                 "restore gave %s, not %s" % (rig.window_geometry(), start))
    close = rig.need(id=0x7F000003)
    rig.xdo("mousemove", close["x"] + 10, close["y"] + 10)
    time.sleep(0.6)
    rig.screenshot()
    rig.expect_colour(close["x"] + 4, close["y"] + 4, CLOSE_HOVER, "hovered close button")
    rig.click(rig.need(id=0x7F000001))
    def minimised():
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Tavrix widget gallery"],
                             env=rig.env, stdout=subprocess.PIPE, text=True).stdout.strip()
        return out == "" or rig.window_geometry()[1] >= rig.screen[1] or rig.window_geometry()[2] < 200
    rig.wait_for(minimised, 5, "minimise left the window on the screen")


def case_close(rig):
    rig.close_window()


def case_fullscreen(rig):
    start = rig.window_geometry()
    before = rig.need(label="Button")
    rig.click_at(before["x"] - 8, before["y"] - 8)  # focus the window without touching a widget
    rig.key("F11")
    rig.wait_for(lambda: rig.window_geometry() == (0, 0) + rig.screen, 5,
                 "full screen gave %s" % (rig.window_geometry(),))
    rig.screenshot()
    def buttons_in_corner():
        close = rig.need(id=0x7F000003)
        return close["x"] + close["w"] == rig.screen[0] and close["y"] == 0
    rig.wait_for(buttons_in_corner, 5, "buttons not at the screen's corner: %s" % rig.need(id=0x7F000003))
    rig.key("F11")
    rig.wait_for(lambda: rig.window_geometry() == start, 5,
                 "leaving full screen gave %s, not %s" % (rig.window_geometry(), start))
    rig.wait_for(lambda: (rig.need(label="Button")["x"], rig.need(label="Button")["y"]) == (before["x"], before["y"]),
                 5, "widgets not back in place")


REFERENCE_96 = {"Button": (110, 30), "Default accent": (140, 30)}


def case_dpi144(rig):
    rig.xdo("mousemove", 1, rig.screen[1] - 1)
    time.sleep(0.5)
    rig.screenshot("gallery-144.png")
    for label, (w, h) in REFERENCE_96.items():
        got = rig.need(label=label)
        check((got["w"], got["h"]) == (w * 3 // 2, h * 3 // 2),
              "%s is %dx%d at 144 DPI, expected %dx%d" % (label, got["w"], got["h"], w * 3 // 2, h * 3 // 2))
    close = rig.need(id=0x7F000003)
    check((close["w"], close["h"]) == (69, 57), "window button %dx%d at 144 DPI" % (close["w"], close["h"]))
    x, y, w, h = rig.window_geometry()
    check(w >= 1350 and h >= 930, "the window is %dx%d, not at least 1350x930" % (w, h))
    tab = rig.need(label="Default accent")
    rig.expect_colour(tab["x"] + 8, tab["y"] + tab["h"] // 2, ACCENT, "selected tab")
    check(len(rig.distinct_colours(tab)) > 8, "no text in the tab at 144 DPI")


def resize_and_check(rig):
    x, y, w, h = rig.window_geometry()
    rig.drag(x + w - 2, y + h - 2, x + w - 202, y + h - 122)
    rig.wait_for(lambda: rig.window_geometry()[2:] == (w - 200, h - 120), 5,
                 "resizing gave %s" % (rig.window_geometry(),))
    time.sleep(0.6)
    rig.xdo("mousemove", 1, rig.screen[1] - 1)
    time.sleep(0.5)
    rig.screenshot()
    nx, ny, nw, nh = rig.window_geometry()
    close = rig.need(id=0x7F000003)
    check(close["x"] + close["w"] <= nx + nw, "window buttons outside the smaller window")
    # The new right part is drawn afresh: title band and background, and the old area is gone.
    rig.expect_colour(close["x"] - 20, close["y"] + 5, PANEL, "title band after resize")
    rig.expect_colour(close["x"] + close["w"] - 4, close["y"] + close["h"] + 8, BACKGROUND, "right edge after resize")
    rig.expect_colour(nx + nw + 40, ny + nh // 2, (0, 0, 0), "screen right of the window")
    tab = rig.need(label="Default accent")
    rig.expect_colour(tab["x"] + 6, tab["y"] + tab["h"] // 2, ACCENT, "selected tab after resize")
    for wdg in rig.frame()["widgets"]:
        check(wdg["x"] + wdg["w"] <= nx + nw, "%s reaches beyond the window" % wdg.get("label"))


def case_resize(rig):
    resize_and_check(rig)


def case_device_lost(rig):
    # Present fails on the third frame: hover around to make frames, then check the window rebuilt.
    tab = rig.need(label="Light accent")
    for i in range(16):
        rig.xdo("mousemove", tab["x"] + (i % 2) * 60, tab["y"] + 10)
        time.sleep(0.3)
    rig.xdo("mousemove", 1, rig.screen[1] - 1)
    time.sleep(0.6)
    rig.screenshot()
    t = rig.need(label="Default accent")
    rig.expect_colour(t["x"] + 6, t["y"] + t["h"] // 2, ACCENT, "selected tab after device loss")
    rig.close_window()
    stats = rig.stats()
    check(stats is not None and stats["renderGeneration"] >= 2,
          "the device was not rebuilt: %s" % stats)


def case_resize_fails(rig):
    resize_and_check(rig)
    rig.close_window()
    stats = rig.stats()
    check(stats is not None and stats["renderGeneration"] >= 2, "the failed resize was not rebuilt: %s" % stats)


def case_performance(rig):
    rig.xdo("mousemove", 1, rig.screen[1] - 1)
    # Some frames with something to draw: hover over widgets.
    for w in rig.frame()["widgets"][:12]:
        rig.xdo("mousemove", w["x"] + 5, w["y"] + 5)
        time.sleep(0.05)
    rig.xdo("mousemove", 1, rig.screen[1] - 1)
    time.sleep(2)
    lines_before = len(rig.lines())
    cpu_before = rig.process_cpu_seconds()
    time.sleep(10)
    cpu = rig.process_cpu_seconds() - cpu_before
    check(len(rig.lines()) == lines_before, "the idle window changed its trace")
    rig.close_window()
    stats = rig.stats()
    check(stats is not None, "no frame statistics")
    frames = stats["frames"]
    present = stats["presentMicrosTotal"] / max(1, frames) / 1000
    setup = stats["setupMicrosTotal"] / max(1, frames) / 1000
    report = ("frames %d, frame time avg %.2f ms (of it ending the drawing and presenting %.2f ms, making the "
              "device %.2f ms), min %.2f ms, max %.2f ms; idle CPU over 10 s: %.2f s (%.1f %%)"
              % (frames, stats["frameMicrosAvg"] / 1000, present, setup, stats["frameMicrosMin"] / 1000,
                 stats["frameMicrosMax"] / 1000, cpu,
                 cpu * 10))
    print(report)
    with open(os.path.join(rig.work, "performance.txt"), "w") as f:
        f.write(report + "\n")
    # Idle means no frames at all: one frame of the gallery costs more than this under Wine.
    check(cpu < 0.5, "the idle window used %.2f s of CPU in 10 s" % cpu)
    # Every frame is accounted for: no more than one per hovered widget and a few for showing.
    check(frames <= 40, "%d frames for 12 hovers: the window paints without a cause" % frames)


def case_placement(rig):
    # The rig started the gallery with the placement below: it opens there, and a move is saved.
    check(rig.window_geometry() == (100, 50, 700, 500), "the saved placement gave %s" % (rig.window_geometry(),))
    close = rig.need(id=0x7F000003)
    y = close["y"] + close["h"] // 2
    rig.drag(close["x"] - 300, y, close["x"] - 300 + 30, y + 20)
    rig.wait_for(lambda: rig.window_geometry()[:2] == (130, 70), 5, "the window did not move")
    rig.close_window()
    with open(os.path.join(rig.work, "placement-settings.json"), encoding="utf-8") as f:
        saved = json.load(f)
    check((saved["window.x"], saved["window.y"], saved["window.w"], saved["window.h"]) == (130, 70, 700, 500)
          and saved["window.maximised"] is False, "saved placement %s" % saved)


def case_placement_ignored(rig):
    # 250 wide is below the 300 x 200 minimum: the window stays centred at its default size.
    x, y, w, h = rig.window_geometry()
    check(w > 300 and abs((x + w / 2) - rig.screen[0] / 2) <= 2, "a 250-wide placement was applied: %s" %
          ((x, y, w, h),))


PLACEMENTS = {
    "placement": {"window.x": 100, "window.y": 50, "window.w": 700, "window.h": 500, "window.maximised": False},
    "placement_ignored": {"window.x": 100, "window.y": 50, "window.w": 250, "window.h": 900,
                          "window.maximised": False},
}


CASES = {
    "placement": (case_placement, "1280x800", 96, ("--settings",)),
    "placement_ignored": (case_placement_ignored, "1280x800", 96, ("--settings",)),
    "render": (case_render, "1280x800", 96, ()),
    "toggle": (case_toggle, "1280x800", 96, ()),
    "dropdown": (case_dropdown, "1280x800", 96, ()),
    "text": (case_text, "1280x800", 96, ()),
    "titlebar": (case_titlebar, "1280x800", 96, ()),
    "buttons": (case_buttons, "1280x800", 96, ()),
    "close": (case_close, "1280x800", 96, ()),
    "fullscreen": (case_fullscreen, "1280x800", 96, ()),
    "dpi144": (case_dpi144, "1920x1200", 144, ()),
    "resize": (case_resize, "1280x800", 96, ()),
    "device_lost": (case_device_lost, "1280x800", 96, ("--fault", "present")),
    "resize_fails": (case_resize_fails, "1280x800", 96, ("--fault", "resize")),
    "performance": (case_performance, "1280x800", 96, ()),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--exe", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    failed = os.path.join(args.work, args.case + "-failed.png")
    if os.path.exists(failed):
        os.remove(failed)
    run, screen, dpi, extra = CASES[args.case]
    if args.case in PLACEMENTS:
        path = os.path.join(args.work, args.case + "-settings.json")
        with open(path, "w") as f:
            json.dump(PLACEMENTS[args.case], f)
        extra = extra + ("Z:" + path.replace("/", "\\"),)
    rig = None
    try:
        rig = Rig(args, screen, dpi, extra)
        rig.start()
        run(rig)
        print("%s: ok" % args.case)
        return 0
    except (Failure, subprocess.CalledProcessError) as e:
        print("%s: FAILED: %s" % (args.case, e))
        if rig is not None and rig.xvfb is not None and "DISPLAY" in rig.env:
            try:
                rig.screenshot()
                rig.keep(os.path.basename(failed))
                print("screenshot: %s" % failed)
            except Exception:
                pass
        return 1
    finally:
        if rig is not None:
            rig.stop()


if __name__ == "__main__":
    sys.exit(main())
