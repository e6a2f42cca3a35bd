"""The program as assistive technology meets it, through the AT-SPI bus of a private D-Bus session.

Run by ctest inside dbus-run-session on the private X server:
    test_atspi.py PROGRAM           the tree: names, roles, states, actions, the settings window
    test_atspi.py PROGRAM --orca    what the Orca screen reader speaks (its debug log, no audio)
Every wait polls; nothing waits for a fixed time.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import pyatspi

PROGRAM = sys.argv[1]
WATCHED = "zva11y%d" % os.getpid()  # a real process's image name, under 15 characters
ADDRESS = "corvane@example.org"
# A line of Orca's debug log for an utterance, its voice after it: SPEECH OUTPUT: 'Hello.'{...}
SPEECH = re.compile(r"SPEECH OUTPUT: '(.*)'(?:\s*\{[^{}]*\})?$")


def poll(what, condition, seconds=20.0):
    """The first true value of condition(), asked every 50 ms; fails after `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            value = condition()
        except Exception:  # an object that went away while it was read
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def states(accessible):
    return {pyatspi.stateToString(s) for s in accessible.getState().getStates()}


def actions(accessible):
    action = accessible.queryAction()
    return [action.getName(i) for i in range(action.nActions)]


def act(accessible, name):
    action = accessible.queryAction()
    action.doAction(actions(accessible).index(name))


def child(parent, name):
    return next((c for c in parent if c and c.name == name), None)


class Session(unittest.TestCase):
    """The AT-SPI bus, a store of the test's own, and the program; Orca when `orca` is set."""

    orca = False

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zv-atspi-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.started = []
        self.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        poll("the accessibility registry", lambda: pyatspi.Registry.getDesktop(0) is not None)
        if self.orca:
            self.start_orca()
        store = os.path.join(self.dir, "config", "ZEL-VANTO")
        os.makedirs(store)
        with open(os.path.join(store, "ZEL-VANTO.ini"), "w") as ini:
            ini.write("[Settings]\nPROCESS_TEXTBOX_2=%s\nPROCESS_TEXTBOX_3=%s\n" % (WATCHED, WATCHED))
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   XDG_CONFIG_HOME=os.path.join(self.dir, "config"))
        self.start([PROGRAM], env=env)
        self.app = poll("the program on the bus", lambda: next(
            (a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "ZEL-VANTO"), None))
        self.main = poll("the main window", lambda: child(self.app, "ZEL-VANTO"))

    def start(self, command, **options):
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, **options)
        self.started.append(process)
        self.addCleanup(self.stop, process)
        return process

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def start_orca(self):
        settings = os.path.join(self.dir, "orca")
        os.makedirs(settings)
        # Speech to the debug log only: no speech server, no braille display, no sounds.
        quiet = {"speechServerFactory": "", "enableSpeech": True, "enableBraille": False,
                 "enableSound": False, "profile": ["Default", "default"],
                 "activeProfile": ["Default", "default"],
                 "startingProfile": ["Default", "default"]}
        with open(os.path.join(settings, "user-settings.conf"), "w") as conf:
            json.dump({"general": quiet, "profiles": {"default": dict(quiet)},
                       "pronunciations": {}, "keybindings": {}}, conf)
        # Orca writes its debug file through a buffer that fills before it reaches a file; a
        # terminal gets every line at once. A thread drains the terminal, so Orca never blocks.
        terminal, self.terminal = os.openpty()
        self.addCleanup(os.close, self.terminal)
        self.debug = []
        reader = threading.Thread(target=self.drain, args=(terminal,), daemon=True)
        reader.start()
        self.start(["orca", "-u", settings, "--debug-file=" + os.ttyname(self.terminal)],
                   stderr=subprocess.DEVNULL)
        try:
            poll("Orca", lambda: "Screen reader on." in self.spoken())
        except AssertionError:
            sys.stderr.write("".join(self.debug)[-3000:])
            raise

    def drain(self, terminal):
        while True:
            try:
                chunk = os.read(terminal, 65536)
            except OSError:  # every writer has gone
                chunk = b""
            if not chunk:
                os.close(terminal)
                return
            self.debug.append(chunk.decode(errors="replace").replace("\r", ""))

    def spoken(self):
        """Every utterance Orca has spoken so far, in order."""
        lines = "".join(self.debug).splitlines()
        return [m.group(1) for m in map(SPEECH.search, lines) if m]

    def hear(self, text, cause, since=0):
        """Does `cause`, then waits for Orca to say `text` after utterance `since`; the count of
        utterances up to and with it."""
        cause()
        return poll(repr(text), lambda: next(
            (i + 1 for i, s in enumerate(self.spoken()) if i >= since and s == text), None))

    def box(self, n):
        return child(self.main, "Process watcher %d" % n)

    def title(self):
        return next(c for c in self.main if c.getRole() == pyatspi.ROLE_PUSH_BUTTON)

    def open_settings(self):
        act(self.title(), "Press")
        return poll("the settings window", lambda: child(self.app, "ZEL-VANTO - SETTINGS"))

    def run_watched(self):
        image = os.path.join(self.dir, WATCHED)
        shutil.copy("/bin/sleep", image)
        return self.start([image, "600"])


class Tree(Session):
    # Catches a wrong or missing name, role or state in words, a title strip that is no button
    # or cannot be pressed, a window of the wrong role, a dialog that does not say it is modal,
    # a header not read as the dialog's description, and a credit whose name keeps its old text.
    def test_names_roles_states_and_the_title_strip_opens_the_settings(self):
        self.assertEqual(self.main.getRole(), pyatspi.ROLE_FRAME)
        for n in range(1, 11):
            box = self.box(n)
            self.assertEqual(box.getRole(), pyatspi.ROLE_TEXT, n)
            self.assertEqual("showing" in states(box), n <= 5, n)
            self.assertIn("editable", states(box))
        # Box 4 has no name: red, as box 2 whose process does not run.
        poll("boxes 2 and 4 checked", lambda: self.box(2).description == "not running" ==
             self.box(4).description)
        self.assertEqual(self.box(6).description, "not checked yet")

        title = self.title()
        self.assertEqual(title.name, "ZEL-VANTO settings")
        self.assertIn("focusable", states(title))
        self.assertEqual(actions(title)[0], "Press")

        dialog = self.open_settings()
        self.assertEqual(dialog.getRole(), pyatspi.ROLE_DIALOG)
        self.assertIn("modal", states(dialog))
        self.assertEqual(dialog.description, "TARNWICK - ZEL-VANTO, Sentrovia, Created By Corvane, "
                                             "Version 1.0, !!! FREEWARE !!!")
        check = child(dialog, "Enable Process Watcher - 2")
        self.assertEqual(check.getRole(), pyatspi.ROLE_CHECK_BOX)
        self.assertIn("checked", states(check))
        self.assertNotIn("checked", states(child(dialog, "Enable Process Watcher - 6")))

        credit = child(dialog, "Created By Corvane")
        self.assertEqual(credit.getRole(), pyatspi.ROLE_LABEL)
        extents = credit.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        subprocess.run(["xdotool", "mousemove", str(extents.x + extents.width // 2),
                        str(extents.y + extents.height // 2), "click", "--repeat", "2", "1"],
                       check=True)
        poll("the credit named by the address", lambda: child(dialog, ADDRESS))
        self.assertIn(ADDRESS, dialog.description)

        act(child(dialog, "OK"), "Press")
        poll("the settings window closed", lambda: not child(self.app, "ZEL-VANTO - SETTINGS"))


class Speech(Session):
    orca = True

    # Catches a change of the focused box that Orca does not speak, a change of a box without
    # the focus that it does speak (box 3 watches the same process), a state spoken again on
    # a tick that changes nothing, and header labels that Orca skips as the settings open.
    def test_orca_speaks_the_state_of_the_focused_box_when_it_changes(self):
        poll("box 3 checked", lambda: self.box(3).description == "not running")
        # The first ticks are over. Orca speaks in the order of the events: whatever they made
        # it say comes before a focus moved after them.
        heard = self.hear("Process watcher 2 text.", lambda: act(self.box(2), "SetFocus"))

        watched = self.run_watched()
        poll("the start spoken", lambda: "notification running." in self.spoken()[heard:])
        poll("box 3 green", lambda: self.box(3).description == "running")
        self.stop(watched)
        poll("the end spoken", lambda: "notification not running." in self.spoken()[heard:])
        notifications = [s for s in self.spoken()[heard:] if s.startswith("notification")]
        self.assertEqual(notifications, ["notification running.", "notification not running."])

        self.open_settings()
        opened = poll("the settings read out",
                      lambda: next((s for s in self.spoken() if "SETTINGS dialog" in s), None))
        for label in ("TARNWICK - ZEL-VANTO", "Sentrovia", "Created By Corvane", "Version 1.0",
                      "!!! FREEWARE !!!"):
            self.assertIn(label, opened)


if __name__ == "__main__":
    only = Speech if "--orca" in sys.argv else Tree
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(only)
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
