#!/usr/bin/python3
"""accessible_tree_test.py SKIFF: the window as a screen reader (AT-SPI) sees it and as Tab walks
it, in a namespace with one LAN address (as root): controls have names; Tab reaches each in order."""
import os, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
WITH_DISPLAY = os.path.join(HERE, "..", "with_display.sh")


def outside(skiff):
    if os.geteuid() != 0:
        return subprocess.call([WITH_DISPLAY, sys.executable, __file__, skiff, "--inside"])
    ns = f"skiff-a11y-{os.getpid()}"
    try:
        subprocess.run(["ip", "netns", "add", ns], check=True)
        for args in ("link add lan0 type veth peer name lan1", "addr add 192.168.77.1/24 dev lan0",
                     "link set lan0 up", "link set lan1 up", "link set lo up"):
            subprocess.run(["ip", "-n", ns] + args.split(), check=True)
        return subprocess.call(["ip", "netns", "exec", ns, WITH_DISPLAY, sys.executable, __file__,
                                skiff, "--inside"])
    finally:
        subprocess.run(["ip", "netns", "del", ns], stderr=subprocess.DEVNULL)


# Roles a person operates; each needs a name a screen reader can say.
CONTROLS = {"push button", "toggle button", "check box", "radio button", "combo box", "page tab",
            "text", "entry", "password text", "slider", "spin button", "menu item", "switch"}
failures = []
fail = lambda message: failures.append(message) or print("FAIL:", message, flush=True)


def inside(skiff):
    import pyatspi  # from python3-pyatspi, with the system's Python

    home = tempfile.mkdtemp(prefix="skiff-a11y-")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f"{home}/.config",
               XDG_DATA_HOME=f"{home}/.local/share", XDG_RUNTIME_DIR=home, LANG="C.UTF-8",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", ASAN_OPTIONS="detect_leaks=0")
    program = subprocess.Popen([skiff], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)

    def wait(check, seconds=20):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            found = check()
            if found:
                return found
            time.sleep(0.1)
        return None

    def application():
        desktop = pyatspi.Registry.getDesktop(0)
        found = (desktop.getChildAtIndex(i) for i in range(desktop.childCount))
        return next((c for c in found if c is not None and c.name == "Skiff"), None)

    def shown(root):  # every showing accessible under root, depth first
        out = []

        def visit(node):
            try:
                if not node.getState().contains(pyatspi.STATE_SHOWING):
                    return
                out.append(node)
                for i in range(node.childCount):
                    visit(node.getChildAtIndex(i))
            except Exception:  # a node that went away while walking
                pass
        visit(root)
        return out

    def focused(root):  # the deepest: a popover is focused too while a control inside it is
        found = [n for n in shown(root) if n.getState().contains(pyatspi.STATE_FOCUSED)]
        return found[-1] if found else None

    describe = lambda node: f"{node.getRoleName()} '{node.name}'" if node else "nothing"
    where = lambda node: tuple(node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))
    identity = lambda node: (node.getRoleName(), node.name, where(node)[:2])

    def key(name):
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
        time.sleep(0.25)

    def press_on(name):  # Tab to the control called name, then Return
        for _ in range(24):
            node = focused(app)
            if node is not None and node.name == name:
                break
            key("Tab")
        key("Return")

    def check_view(view, app, scope=None, presses=24):
        present = [node for node in shown(scope or app) if node.getRoleName() in CONTROLS]
        if not present:
            fail(f"{view}: no controls found")
        for node in present:
            if not node.name.strip():
                fail(f"{view}: unnamed {describe(node)} at {where(node)}")
        order, reached = [], set()
        for _ in range(presses):
            key("Tab")
            node = focused(app)
            if node is None or identity(node) in reached:
                continue
            reached.add(identity(node))
            order.append(node)
        for node in present:
            if identity(node) not in reached:
                fail(f"{view}: Tab never reaches {describe(node)}")
        # One Tab cycle starts somewhere in the middle: read it from its top-left control.
        if order:
            def row_then_x(i):
                x, y, _, h = where(order[i])
                return (y + h / 2) // 24, x
            first = min(range(len(order)), key=row_then_x)
            cycle = order[first:] + order[:first]
            for before, after in zip(cycle, cycle[1:]):
                (bx, by, _, bh), (ax, ay, _, ah) = where(before), where(after)
                same_row = abs((by + bh / 2) - (ay + ah / 2)) < max(bh, ah) / 2
                if not (ay > by and not same_row or same_row and ax > bx):
                    fail(f"{view}: Tab goes from {describe(before)} at {bx},{by} back to "
                         f"{describe(after)} at {ax},{ay}")

    try:
        app = wait(application)
        if app is None:
            fail("Skiff never appeared on the accessibility bus")
            return 1
        window = wait(lambda: subprocess.run(["xdotool", "search", "--name", "^Skiff$"],
                                             capture_output=True, text=True).stdout.split())
        subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], check=True)

        # The introduction on a first start: focus is on its button, a screen reader's start.
        start = wait(lambda: focused(app))
        if start is None or start.name != "Bắt đầu":
            fail(f"the introduction's focus is on {describe(start)}")
        check_view("introduction", app)
        press_on("Bắt đầu")

        def has(name, role="push button"):
            return lambda: any(n.name == name and n.getRoleName() == role for n in shown(app))
        if not wait(has("Cài đặt")):
            fail("Return on the introduction did not show the working view")
            return 1
        time.sleep(0.5)
        qr = wait(lambda: next((n for n in shown(app) if n.getRoleName() == "image" and
                                n.name.startswith("Mã QR: http://")), None))
        if qr is None:
            fail("the QR code is not an image named with the address")
        elif focused(app) is None or focused(app).name != qr.name:
            fail(f"the receive tab's focus is on {describe(focused(app))}")
        check_view("receive tab", app)

        # The settings popover: Tab stays inside it and reaches every one of its controls.
        press_on("Cài đặt")
        if not wait(has("Đổi mã mới")):
            fail("Return on the settings button did not open the popover")
        else:
            popover = next((n for n in shown(app) if n.getRoleName() == "dialog"), None)
            if popover is None or popover.name != "Cài đặt":
                fail(f"the settings popover reads as {describe(popover)}")
            else:
                check_view("settings", app, scope=popover, presses=10)
            key("Escape")
            if not wait(lambda: not has("Đổi mã mới")()):
                fail("Escape did not close the settings popover")

        key("ctrl+2")
        if not wait(has("Chọn thư mục…")):
            fail("Ctrl+2 did not show the send tab")
        else:
            check_view("send tab", app)
    finally:
        program.kill()
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[2] == "--inside":
        sys.exit(inside(sys.argv[1]))
    sys.exit(outside(sys.argv[1]))
