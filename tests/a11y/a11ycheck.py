#!/usr/bin/python3
"""Reads the application's windows from outside, over AT-SPI, as a screen reader does.

Prints every element it read (role, name, value, description, states) and the order the
Tab key walks, and lists what a listener would miss: an element to use or to read that has
no name, a switch without a checked state, a figure that differs from what the window shows,
a keyboard-only setup that does not get to "set up". Exits 1 when it found any of that.

  a11ycheck.py main                      the main window, then setup by keyboard alone
  a11ycheck.py alert --last-sync MS      the clock alert and the menu-bar item's menu
"""

import argparse
import datetime
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import Atspi, GLib

APP = "Tessavel Veridir"
ALERT = "Tessavel Veridir: clock alert"
# Roles a person works with: each needs a name to be found and used.
INTERACTIVE = {"push button", "toggle button", "check box", "radio button", "combo box",
               "text", "entry", "spin button", "menu item", "check menu item",
               "radio menu item", "page tab", "slider", "table", "list", "date editor"}
SWITCHES = {"toggle button", "check box", "radio button", "check menu item", "radio menu item"}
# Roles that tell a reader nothing of what a focusable element does.
MUTE_ROLES = {"filler", "panel", "unknown", "redundant object", "invalid"}
# What the windows show as switches: each must be read as one, with its on or off.
KNOWN_SWITCHES = {"Keep watching in the menu bar", "Start Veridir at login",
                  "Don't ask for the password again", "System default", "Light", "Dark"}
# Buttons whose being disabled has a reason the user must hear.
WHY_NOT = {"Sync now", "SET THE CLOCK", "SET UP THIS COMPUTER"}
STATE_WORDS = ["In sync", "Server not heard", "Clock is off", "Clock wrong", "No server"]
SHOWN_STATES = ["focusable", "focused", "checkable", "checked", "selected", "is-default",
                "editable"]

problems = []


def problem(text):
    problems.append(text)
    print(f"  PROBLEM: {text}")


def states(acc):
    try:
        return {s.value_nick for s in acc.get_state_set().get_states()}
    except Exception:  # an element gone while being read
        return set()


def role(acc):
    try:
        return acc.getRoleName()
    except Exception:
        return "gone"


def text_of(acc):
    try:
        t = acc.queryText()
        return t.getText(0, -1)
    except Exception:
        return None


def value_of(acc):
    """The value a reader says after the name: the text of a read-only text, else a number."""
    words = text_of(acc)
    if words is not None and words != acc.name:
        return words
    try:
        return str(acc.queryValue().currentValue)
    except Exception:
        return None


def children(acc):
    try:
        acc.clear_cache()
        return [acc.getChildAtIndex(i) for i in range(acc.childCount)]
    except Exception:
        return []


def showing(acc):
    return "showing" in states(acc)


def line(acc):
    st = states(acc)
    out = f"{role(acc)} '{acc.name}'"
    v = value_of(acc)
    if v:
        out += f" = '{v}'"
    if acc.description:
        out += f" ({acc.description})"
    flags = [s for s in SHOWN_STATES if s in st]
    if "sensitive" not in st:
        flags.append("disabled")
    if flags:
        out += " [" + " ".join(flags) + "]"
    return out


def shown_nodes(acc):
    """Every showing element under acc, acc first, each with its depth."""
    stack = [(acc, 0)]
    while stack:
        node, depth = stack.pop()
        yield node, depth
        kids = [k for k in children(node) if k is not None and showing(k)]
        stack.extend((k, depth + 1) for k in reversed(kids))


def print_tree(acc, title):
    print(f"\n== {title}")
    for node, depth in shown_nodes(acc):
        print("  " + "  " * depth + line(node))


def find(acc, test):
    for node, _ in shown_nodes(acc):
        if test(node):
            return node
    return None


def wait_for(what, seconds=15.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = what()
        if found:
            return found
        time.sleep(0.2)
    return None


def application():
    def look():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app is not None and app.name == APP:
                return app
        return None
    return wait_for(look, 30)


def window(app, title):
    return wait_for(lambda: next((w for w in children(app)
                                  if w.name == title and showing(w)), None))


def focused(app):
    for w in children(app):
        if w is not None and showing(w):
            f = find(w, lambda n: "focused" in states(n))
            if f:
                return f
    return None


def key(*keys, to=None):
    """A key press into the window of that title; only keys, never the mouse."""
    command = ["xdotool"]
    if to:
        pattern = re.sub(r"([][.^$*+?(){}|\\])", r"\\\1", to)
        wid = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{pattern}$"],
                             capture_output=True, text=True).stdout.split()
        if wid:
            command += ["windowfocus", "--sync", wid[-1]]
    subprocess.run(command + ["key", *keys], check=False)
    time.sleep(0.4)


def check_elements(root, where):
    for node, _ in shown_nodes(root):
        r, st, name = role(node), states(node), node.name.strip()
        what = f"{where}: {r}"
        if r in INTERACTIVE and not name:
            problem(f"{what} has no name" + (f" (shows '{value_of(node)}')" if value_of(node) else ""))
        # Qt's bridge says "checked" but not "checkable": the role carries the switch.
        if name in KNOWN_SWITCHES and r not in SWITCHES:
            problem(f"{what} '{name}' is shown as a switch but has no checked state")
        if "focusable" in st and r in MUTE_ROLES and not (
                name and any(role(k) in INTERACTIVE for k in children(node))):
            problem(f"{what} '{name}' takes the focus but says nothing of what it is")
        if r in ("push button", "menu item") and "sensitive" not in st and name in WHY_NOT \
                and not node.description:
            problem(f"{what} '{name}' is disabled and does not say why")
        if r in ("image", "icon") and not name:
            problem(f"{what} has no name")
        if r == "table":
            check_table(node, where)


def check_table(table, where):
    try:
        t = table.queryTable()
    except Exception:
        problem(f"{where}: the server list is no table")
        return
    heads = [(t.getColumnHeader(c).name if t.getColumnHeader(c) else "") for c in range(t.nColumns)]
    print(f"  table columns: {heads}")
    for r in range(t.nRows):
        cells = [t.getAccessibleAt(r, c).name for c in range(t.nColumns)]
        print(f"  row {r + 1}: {cells}")
        for c, cell in enumerate(cells):
            if not cell.strip():
                problem(f"{where}: row {r + 1} says nothing under {heads[c] or c + 1}")


def by_name(root, name, roles=None):
    return find(root, lambda n: n.name == name and (roles is None or role(n) in roles))


def expect_value(root, caption, expected, where):
    readout = by_name(root, caption)
    if readout is None:
        problem(f"{where}: no element named '{caption}' (the readout)")
        return
    got = value_of(readout)
    ok = expected(got) if callable(expected) else got == expected
    print(f"  readout '{caption}' reads '{got}'")
    if not ok:
        want = "" if callable(expected) else f", the window shows '{expected}'"
        problem(f"{where}: the readout '{caption}' reads '{got}'{want}")


def check_clock(root, height_name, where):
    """A clock figure must read the time of day now, as its window shows it."""
    now = datetime.datetime.now()
    near = {(now + datetime.timedelta(seconds=d)).strftime("%H:%M:%S") for d in range(-3, 4)}
    clock = find(root, lambda n: re.fullmatch(r"\d\d:\d\d:\d\d", n.name or "") is not None)
    if clock is None:
        problem(f"{where}: no element reads the {height_name} (HH:MM:SS)")
    elif clock.name not in near:
        problem(f"{where}: the {height_name} reads '{clock.name}', the time is {now:%H:%M:%S}")
    else:
        print(f"  the {height_name} reads '{clock.name}'")


def tab_walk(app, title, stop=None, on_table=None, limit=30):
    """Presses Tab until the focus comes round again (or stop() says so); the order read."""
    def named(f):
        if f is None:
            return "(nothing)"
        shows = f" = '{text_of(f)}'" if role(f) in ("spin button", "text") else ""
        return f"{role(f)} '{f.name}'{shows}"

    order = []
    for _ in range(limit):
        key("Tab", to=title)
        f = focused(app)
        if f is not None and role(f) in ("table", "table cell") and on_table:
            on_table(f)
            f = focused(app)
        here = named(f)
        # A date or time editor takes Tab from section to section before it lets go.
        if order and order[-1] == here:
            continue
        if order and here == order[0]:
            break
        order.append(here)
        if stop and f is not None and stop(f):
            break
    print(f"\n== Tab order in '{title}':\n  " + "\n  ".join(order))
    return order


def opening(title, name, settle):
    """The application and its window as it comes up, read and checked once."""
    app = application()
    if app is None:
        sys.exit("a11ycheck: the application never joined the accessibility bus")
    win = window(app, title)
    if win is None:
        sys.exit(f"a11ycheck: the {name} did not come up")
    time.sleep(settle)
    print_tree(win, name)
    check_elements(win, name)
    check_clock(win, "clock", name)
    return app, win


def main_scene(args):
    # A few seconds: the search the window starts, and its first measurement.
    app, win = opening(APP, "main window", 3)
    expect_value(win, "Offset", "not measured yet", "main window")
    expect_value(win, "Last sync", "never", "main window")
    expect_value(win, "Server heard", "never", "main window")
    expect_value(win, "Reported", "off", "main window")
    status = find(win, lambda n: any((n.name or "").startswith(w) for w in STATE_WORDS)
                  and role(n) == "label")
    if status is None:
        problem("main window: no element says the clock's state")
    lamp = find(win, lambda n: role(n) in ("image", "icon"))
    if lamp is not None and lamp.name not in STATE_WORDS:
        problem(f"main window: the lamp dot says '{lamp.name}', not the clock's state")

    def choose_server(table_or_cell):
        for _ in range(6):
            row = selected_row(app)
            if row and row[0] == args.server:
                return
            key("Down", to=APP)
        problem(f"keyboard: the arrows never selected '{args.server}' in the list")

    def setup_button(f):
        return f.name.upper() == "SET UP THIS COMPUTER"

    order = tab_walk(app, APP, stop=setup_button, on_table=choose_server)
    if not any(o.startswith("table") for o in order):
        problem("keyboard: Tab never reaches the server list, so no server can be chosen")
    button = focused(app)
    if button is None or not setup_button(button):
        problem("keyboard: Tab never reaches SET UP THIS COMPUTER")
        return
    if "sensitive" not in states(button):
        problem("keyboard: SET UP THIS COMPUTER is disabled"
                + (f" ({button.description})" if button.description else ""))
        return
    key("space", to=APP)
    box = window(app, "Set up syncing")
    if box is None:
        problem("keyboard: Space on SET UP THIS COMPUTER asked nothing")
        return
    print_tree(box, "confirmation")
    check_elements(box, "confirmation")
    key("Return", to="Set up syncing")
    done = wait_for(lambda: next((w for w in children(app) if w.name == APP and showing(w)
                                  and role(w) in ("dialog", "alert")), None), 60)
    if done is None:
        problem("keyboard: no word came back after the setup")
        return
    print_tree(done, "outcome")
    key("Return", to=APP)
    win = window(app, APP)
    line_set = wait_for(lambda: find(win, lambda n: (n.name or "").startswith("Set up.")), 10)
    if line_set is None:
        problem("keyboard: the window never says 'Set up.'")
    else:
        print(f"\n  reached: {line_set.name}")


def selected_row(app):
    for w in children(app):
        table = w and find(w, lambda n: role(n) == "table")
        if table:
            t = table.queryTable()
            for r in range(t.nRows):
                if t.isRowSelected(r):
                    return [t.getAccessibleAt(r, c).name for c in range(t.nColumns)]
    return None


def alert_scene(args):
    app, alert = opening(ALERT, "clock alert", 2)
    last = datetime.datetime.fromtimestamp(args.last_sync / 1000)
    editors = [n for n, _ in shown_nodes(alert) if role(n) in ("spin button", "date editor", "text")]
    shown = [text_of(e) for e in editors]
    for want in (last.strftime("%Y-%m-%d"), last.strftime("%H:%M:%S")):
        if want not in shown:
            problem(f"clock alert: no editor reads '{want}' (the last sync); they read {shown}")
    for heading in ("This computer's clock is wrong",):
        if by_name(alert, heading) is None:
            problem(f"clock alert: the heading '{heading}' is not read")

    # One step back on the time editor: earlier than the last sync, the set button must say why.
    tab_walk(app, ALERT, stop=lambda f: role(f) in ("spin button", "text")
                     and re.fullmatch(r"\d\d:\d\d:\d\d", text_of(f) or "") is not None)
    key("Down", to=ALERT)
    time_editor = focused(app)
    print(f"  one step down, the time editor reads '{text_of(time_editor) if time_editor else None}'")
    setb = find(alert, lambda n: role(n) == "push button" and "SET THE CLOCK" in n.name.upper())
    if setb is None:
        problem("clock alert: no SET THE CLOCK button")
    elif "sensitive" in states(setb):
        problem("clock alert: a time before the last sync leaves SET THE CLOCK enabled")
    elif "last sync" not in (setb.description or "").lower():
        problem(f"clock alert: SET THE CLOCK is disabled and does not say why "
                f"(its description: '{setb.description}')")
    else:
        print(f"  disabled set button says: {setb.description}")
    key("Up", to=ALERT)
    key("Escape", to=ALERT)
    if wait_for(lambda: window(app, ALERT) is None, 3) is None:
        print("  Escape leaves the alert up (it stays until the clock is right)")
    tray_menu(app)


def tray_menu(app):
    geo = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^panel$",
                          "getwindowgeometry", "--shell"], capture_output=True, text=True).stdout
    g = dict(l.split("=", 1) for l in geo.split() if "=" in l)
    if not g or int(g.get("WIDTH", 0)) < 3:
        problem("menu bar: no item in the tray")
        return
    x, y = int(g["X"]) + int(g["WIDTH"]) // 2, int(g["Y"]) + int(g["HEIGHT"]) - 3
    # A pop-up menu is no child of the application: a reader meets it by the focus it takes.
    heard = []
    listener = Atspi.EventListener.new(lambda e: heard.append(e.source))
    listener.register("object:state-changed:focused")
    time.sleep(1)  # the application learns that someone listens
    # The menu-bar item is opened by the pointer here: the tray host offers no key for it.
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "3"], check=False)
    time.sleep(0.5)
    key("Down")

    def menu_heard():
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)
        items = [h for h in heard if role(h).endswith("menu item")]
        return items[-1].parent if items else None
    menu = wait_for(menu_heard, 5)
    listener.deregister("object:state-changed:focused")
    if menu is None:
        problem("menu bar: the item's menu did not open, or its entries take no focus")
        return
    print_tree(menu, "menu-bar item's menu")
    check_elements(menu, "menu")
    names = [n.name for n, _ in shown_nodes(menu) if role(n).endswith("menu item")]
    if not any(any(n.startswith(w) for w in STATE_WORDS) for n in names):
        problem(f"menu: no entry names the clock's state ({names})")
    key("Escape")
    if wait_for(lambda: not showing(menu), 3) is None:
        problem("menu: Escape does not close it")


def run():
    # Read afresh each time: Qt's bridge does not announce every change the checks rely on.
    pyatspi.Registry.getDesktop(0).set_cache_mask(Atspi.Cache.NONE)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("scene", choices=["main", "alert"])
    parser.add_argument("--server", default="Studio clock", help="the server to set up with")
    parser.add_argument("--last-sync", type=int, default=0, help="the last sync, ms since 1970")
    args = parser.parse_args()
    (main_scene if args.scene == "main" else alert_scene)(args)
    print(f"\na11ycheck {args.scene}: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(run())
