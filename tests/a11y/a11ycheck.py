#!/usr/bin/python3
"""Reads the application's windows from outside, over AT-SPI, as a screen reader does.

Prints what it read and the order the Tab key walks, and reports what a listener would miss
(tests/a11y/a11ycheck.sh says what). Exits 1 when it found anything.

  a11ycheck.py main     the main window, then setup by keyboard alone
  a11ycheck.py alert    the clock alert and the menu-bar item's menu
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
SERVER = "Studio clock"  # the lab server the keyboard sets up with
# Roles a person works with: each needs a name to be found and used.
INTERACTIVE = {"push button", "toggle button", "check box", "radio button", "combo box",
               "text", "entry", "spin button", "menu item", "check menu item",
               "radio menu item", "page tab", "slider", "table", "list", "date editor",
               "image", "icon"}
SWITCHES = {"toggle button", "check box", "radio button", "check menu item", "radio menu item"}
# Roles that tell a reader nothing of what a focusable element does.
MUTE_ROLES = {"filler", "panel", "unknown", "redundant object", "invalid"}
# What the windows show as switches: each must be read as one, with its on or off.
KNOWN_SWITCHES = {"Keep watching in the menu bar", "Start Veridir at login",
                  "Don't ask for the password again", "System default", "Light", "Dark"}
# Buttons whose being disabled has a reason the user must hear.
WHY_NOT = {"Sync now", "SET THE CLOCK", "SET UP THIS COMPUTER"}
STATE_WORDS = ("In sync", "Server not heard", "Clock is off", "Clock wrong", "No server")
SHOWN_STATES = ["focusable", "focused", "checked", "selected", "is-default", "editable"]
TIME = r"\d\d:\d\d:\d\d"

problems = []


def problem(text):
    problems.append(text)
    print(f"  PROBLEM: {text}")


def read(what, default):
    """An element can go while it is read: it then reads as the default."""
    try:
        return what()
    except Exception:
        return default


def states(acc):
    return read(lambda: {s.value_nick for s in acc.get_state_set().get_states()}, set())


def showing(acc):
    return "showing" in states(acc)


def role(acc):
    return read(acc.getRoleName, "gone")


def text_of(acc):
    return read(lambda: acc.queryText().getText(0, -1), None)


def value_of(acc):
    """What a reader says after the name: the text of a read-only text, else a number."""
    words = text_of(acc)
    if words is not None and words != acc.name:
        return words
    return read(lambda: str(acc.queryValue().currentValue), None)


def children(acc):
    def kids():
        acc.clear_cache()
        return [acc.getChildAtIndex(i) for i in range(acc.childCount)]
    return [k for k in read(kids, []) if k is not None]


def shown_nodes(acc, depth=0):
    """Every showing element under acc, acc first, each with its depth."""
    yield acc, depth
    for kid in children(acc):
        if showing(kid):
            yield from shown_nodes(kid, depth + 1)


def find(acc, test):
    return next((node for node, _ in shown_nodes(acc) if test(node)), None)


def print_tree(acc, title):
    print(f"\n== {title}")
    for node, depth in shown_nodes(acc):
        st, value = states(node), value_of(node)
        flags = [s for s in SHOWN_STATES if s in st] + ([] if "sensitive" in st else ["disabled"])
        print("  " + "  " * depth + f"{role(node)} '{node.name}'"
              + (f" = '{value}'" if value else "")
              + (f" ({node.description})" if node.description else "")
              + (f" [{' '.join(flags)}]" if flags else ""))


def wait_for(what, seconds=15.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = what()
        if found:
            return found
        time.sleep(0.2)
    return None


def window(app, title, roles=None, seconds=15.0):
    """The showing window of that title, waited for; of one of those roles if given."""
    return wait_for(lambda: next((w for w in children(app) if w.name == title and showing(w)
                                  and (roles is None or role(w) in roles)), None), seconds)


def focused(app):
    """The element with the focus. A list's current cell keeps saying it has the focus after
    the list lost it: any other element that says so wins."""
    found = [n for w in children(app) if showing(w)
             for n, _ in shown_nodes(w) if "focused" in states(n)]
    return next((n for n in found if role(n) != "table cell"), found[0] if found else None)


def key(*keys, to=None):
    """A key press into the window of that title; only keys, never the mouse."""
    command = ["xdotool"]
    if to:
        wid = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                              f"^{re.escape(to)}$"], capture_output=True, text=True).stdout.split()
        command += ["windowfocus", "--sync", wid[-1]] if wid else []
    subprocess.run(command + ["key", *keys], check=False)
    time.sleep(0.4)


def rows(table):
    """Each row's cells, and whether it is selected."""
    t = table.queryTable()
    return [([t.getAccessibleAt(r, c).name for c in range(t.nColumns)], t.isRowSelected(r))
            for r in range(t.nRows)]


def check_elements(root, where):
    for node, _ in shown_nodes(root):
        r, name = role(node), node.name.strip()
        what = f"{where}: {r}"
        if r in INTERACTIVE and not name:
            shows = value_of(node)
            problem(f"{what} has no name" + (f" (shows '{shows}')" if shows else ""))
        # Qt's bridge says "checked" but not "checkable": the role carries the switch.
        if name in KNOWN_SWITCHES and r not in SWITCHES:
            problem(f"{what} '{name}' is shown as a switch but has no checked state")
        if "focusable" in states(node) and r in MUTE_ROLES and not (
                name and any(role(k) in INTERACTIVE for k in children(node))):
            problem(f"{what} '{name}' takes the focus but says nothing of what it is")
        if name in WHY_NOT and "sensitive" not in states(node) and not node.description:
            problem(f"{what} '{name}' is disabled and does not say why")
        if r == "table":
            check_table(node, where)


def check_table(table, where):
    t = read(table.queryTable, None)
    if t is None:
        return problem(f"{where}: the server list is no table")
    heads = [read(lambda: t.getColumnHeader(c).name, "") for c in range(t.nColumns)]
    print(f"  table columns: {heads}")
    for r, (cells, _) in enumerate(rows(table), 1):
        print(f"  row {r}: {cells}")
        for head, cell in zip(heads, cells):
            if not cell.strip():
                problem(f"{where}: row {r} says nothing under {head}")


def tab_walk(app, title, stop, on_table=None):
    """Presses Tab until stop() says so or the focus comes round again; the order read."""
    order = []
    for _ in range(30):
        key("Tab", to=title)
        f = focused(app)
        if f is not None and role(f) == "table" and on_table:
            on_table(f)
        shows = f" = '{text_of(f)}'" if f is not None and role(f) == "spin button" else ""
        here = f"{role(f)} '{f.name}'{shows}" if f is not None else "(nothing)"
        # A date or time editor takes Tab from section to section before it lets go.
        if order and order[-1] == here:
            continue
        if order and here == order[0]:
            break
        order.append(here)
        if f is not None and stop(f):
            break
    print(f"\n== Tab order in '{title}':\n  " + "\n  ".join(order))
    return order


def opening(title, name, settle):
    """The application and its window as it comes up, read and checked once: its clock must
    read the time of day now, as the window shows it."""
    app = wait_for(lambda: next((a for a in children(pyatspi.Registry.getDesktop(0))
                                 if a.name == APP), None), 30)
    if app is None:
        sys.exit("a11ycheck: the application never joined the accessibility bus")
    win = window(app, title)
    if win is None:
        sys.exit(f"a11ycheck: the {name} did not come up")
    time.sleep(settle)
    print_tree(win, name)
    check_elements(win, name)
    now = datetime.datetime.now()
    near = {(now + datetime.timedelta(seconds=d)).strftime("%H:%M:%S") for d in range(-3, 4)}
    clock = find(win, lambda n: re.fullmatch(TIME, n.name or "") is not None)
    if clock is None:
        problem(f"{name}: no element reads the clock (HH:MM:SS)")
    elif clock.name not in near:
        problem(f"{name}: the clock reads '{clock.name}', the time is {now:%H:%M:%S}")
    else:
        print(f"  the clock reads '{clock.name}'")
    return app, win


def main_scene():
    # A few seconds: the search the window starts, and its first measurement.
    app, win = opening(APP, "main window", 3)
    if find(win, lambda n: role(n) == "label" and n.name.startswith(STATE_WORDS)) is None:
        problem("main window: no element says the clock's state")
    lamp = find(win, lambda n: role(n) in ("image", "icon"))
    if lamp is not None and lamp.name not in STATE_WORDS:
        problem(f"main window: the lamp dot says '{lamp.name}', not the clock's state")

    def choose_server(table):
        for _ in range(6):
            if [cells[0] for cells, selected in rows(table) if selected] == [SERVER]:
                return
            key("Down", to=APP)
        problem(f"keyboard: the arrows never selected '{SERVER}' in the list")

    order = tab_walk(app, APP, lambda f: f.name == "SET UP THIS COMPUTER", choose_server)
    if not any(o.startswith("table") for o in order):
        problem("keyboard: Tab never reaches the server list, so no server can be chosen")
    button = focused(app)
    if button is None or button.name != "SET UP THIS COMPUTER":
        return problem("keyboard: Tab never reaches SET UP THIS COMPUTER")
    if "sensitive" not in states(button):
        return problem(f"keyboard: SET UP THIS COMPUTER is disabled ({button.description})")
    key("space", to=APP)
    box = window(app, "Set up syncing")
    if box is None:
        return problem("keyboard: Space on SET UP THIS COMPUTER asked nothing")
    print_tree(box, "confirmation")
    check_elements(box, "confirmation")
    key("Return", to="Set up syncing")
    done = window(app, APP, ("dialog", "alert"), 60)
    if done is None:
        return problem("keyboard: no word came back after the setup")
    print_tree(done, "outcome")
    key("Return", to=APP)
    win = window(app, APP)
    line_set = wait_for(lambda: find(win, lambda n: (n.name or "").startswith("Set up.")), 10)
    if line_set is None:
        return problem("keyboard: the window never says 'Set up.'")
    print(f"\n  reached: {line_set.name}")


def alert_scene():
    app, alert = opening(ALERT, "clock alert", 2)
    if find(alert, lambda n: n.name == "This computer's clock is wrong") is None:
        problem("clock alert: its heading is not read")
    # One step back on the time editor: earlier than the last sync, the set button must say why.
    tab_walk(app, ALERT, lambda f: re.fullmatch(TIME, text_of(f) or "") is not None)
    key("Down", to=ALERT)
    editor = focused(app)
    print(f"  one step down, the time editor reads '{editor and text_of(editor)}'")
    setb = find(alert, lambda n: role(n) == "push button" and n.name == "SET THE CLOCK")
    if setb is None:
        problem("clock alert: no SET THE CLOCK button")
    elif "sensitive" in states(setb):
        problem("clock alert: a time before the last sync leaves SET THE CLOCK enabled")
    elif "last sync" not in setb.description:
        problem(f"clock alert: SET THE CLOCK is disabled and does not say why "
                f"(its description: '{setb.description}')")
    else:
        print(f"  disabled set button says: {setb.description}")

    # The menu-bar item's menu.
    geo = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^panel$",
                          "getwindowgeometry", "--shell"], capture_output=True, text=True).stdout
    g = {k: int(v) for k, v in (f.split("=", 1) for f in geo.split() if "=" in f) if v.isdigit()}
    if g.get("WIDTH", 0) < 3:
        return problem("menu bar: no item in the tray")
    # A pop-up menu is no child of the application: a reader meets it by the focus it takes.
    heard = []
    listener = Atspi.EventListener.new(lambda e: heard.append(e.source))
    listener.register("object:state-changed:focused")
    time.sleep(1)  # the application learns that someone listens
    # The menu-bar item is opened by the pointer here: the tray host offers no key for it.
    x, y = g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] - 3
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "3"], check=False)
    time.sleep(0.5)
    key("Down")

    def menu_heard():
        while GLib.MainContext.default().pending():
            GLib.MainContext.default().iteration(False)
        items = [h for h in heard if role(h).endswith("menu item")]
        return items[-1].parent if items else None
    menu = wait_for(menu_heard, 5)
    listener.deregister("object:state-changed:focused")
    if menu is None:
        return problem("menu bar: the item's menu did not open, or its entries take no focus")
    print_tree(menu, "menu-bar item's menu")
    check_elements(menu, "menu")
    names = [n.name for n, _ in shown_nodes(menu) if role(n).endswith("menu item")]
    if not any(n.startswith(STATE_WORDS) for n in names):
        problem(f"menu: no entry names the clock's state ({names})")
    key("Escape")
    if wait_for(lambda: not showing(menu), 3) is None:
        problem("menu: Escape does not close it")


def run():
    # Read afresh each time: Qt's bridge does not announce every change the checks rely on.
    pyatspi.Registry.getDesktop(0).set_cache_mask(Atspi.Cache.NONE)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("scene", choices=["main", "alert"])
    scene = parser.parse_args().scene
    (main_scene if scene == "main" else alert_scene)()
    print(f"\na11ycheck {scene}: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(run())
