#!/usr/bin/env python3
"""Walks the running program's accessibility tree through AT-SPI, as a
screen reader sees it: the main window and its commands, the open-test
dialog, a test of type A opened with the keyboard, the menu that F10 shows,
and a message balloon.  Run by atspi_walk.sh inside its own D-Bus session
and X server; exits 77 when pyatspi is missing.

Usage: atspi_walk.py <program pid>
"""
import sys
import time

# Says SKIP and exits 77 where pyatspi is missing.
from atspi_tree import FAILURES, application, check, children, find, focused, wait_for

import pyatspi  # noqa: E402


def key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    time.sleep(0.3)


def key_with(modifier_keycode, keysym):
    """A key with a modifier held: the modifier by its key code (the X
    server's keymap), the key by its symbol."""
    pyatspi.Registry.generateKeyboardEvent(modifier_keycode, None, pyatspi.KEY_PRESS)
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    pyatspi.Registry.generateKeyboardEvent(modifier_keycode, None, pyatspi.KEY_RELEASE)
    time.sleep(0.3)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click"):
            return action.doAction(i)
    return action.doAction(0)


XK = {"Down": 0xFF54, "Up": 0xFF52, "Right": 0xFF53, "Return": 0xFF0D, "Escape": 0xFF1B,
      "Tab": 0xFF09, "F10": 0xFFC7, "z": 0x7A}
# Key codes of the modifiers in the X server's default keymap.
KEYCODE_CONTROL = 37
KEYCODE_SHIFT = 50


def main():
    pid = int(sys.argv[1])
    # A busy machine may take long to start it.
    app = wait_for(lambda: application(pid), timeout=90)
    if not check(app is not None, "the program is on the AT-SPI bus"):
        return
    main_window = wait_for(lambda: next((w for w in children(app) if w.name == "Vedomec 2001"), None), 60)
    if not check(main_window is not None, "the main window is named \"Vedomec 2001\""):
        return
    check(main_window.getRoleName() == "frame", "the main window is a frame (%s)" % main_window.getRoleName())

    # The commands, by name, each with its shortcut.
    for name, shortcut in [("Otevřít test", "Ctrl+O"), ("Import testu", "Ctrl+I"), ("Ukončit test", "Ctrl+Z"),
                           ("Nápověda", "F1"), ("První otázka", "F5"), ("Další otázka", "F7 nebo Ctrl+Enter"),
                           ("Výsledky testu", "Ctrl+V"), ("Konec programu", None)]:
        button = find(main_window, role="push button", name=name)
        if check(button is not None, "button \"%s\"" % name) and shortcut:
            check(button.description == shortcut, "  its shortcut %r (%r)" % (shortcut, button.description))
    for name in ("Čas od spuštění testu :", "Povolený čas :"):
        check(find(main_window, role="label", name=name) is not None, "label \"%s\"" % name)

    # The open-test dialog: its tree by name, each kind with its count.
    press(find(main_window, role="push button", name="Otevřít test"))
    dialog = wait_for(lambda: find(app, role="dialog", name="Otevřít databázi", showing=True))
    if not check(dialog is not None, "\"Otevřít test\" opens the dialog \"Otevřít databázi\""):
        return
    tree = find(dialog, name="Seznam dostupných testů")
    if not check(tree is not None, "the tree is named \"Seznam dostupných testů\""):
        return
    kind = wait_for(lambda: find(tree, name="Zeměpis"))
    if check(kind is not None, "the kind \"Zeměpis\" is an item of the tree"):
        check(kind.description.endswith("test") or "test" in kind.description,
              "  and says how many tests it holds (%r)" % kind.description)
    check(find(dialog, role="push button", name="Nápověda") is not None, "the \"?\" of the title bar is a button")

    # To the test by the keyboard, as a pupil gets there: into the tree,
    # down to the kind, open it, down to the test, Enter.
    key_with(KEYCODE_SHIFT, XK["Tab"])
    key_with(KEYCODE_SHIFT, XK["Tab"])
    for _ in range(12):
        f = focused(tree)
        if f is not None and f.name == "Zeměpis":
            break
        key(XK["Down"])
    key(XK["Right"])
    for _ in range(6):
        f = focused(tree)
        if f is not None and f.name == "Zeměpis České republiky":
            break
        key(XK["Down"])
    f = focused(tree)
    check(f is not None and f.name == "Zeměpis České republiky",
          "the test is reached with the keys (%s)" % (f.name if f is not None else None))
    key(XK["Return"])
    answer = wait_for(lambda: find(main_window, role="check box", name="a) Praděd", showing=True))
    if check(answer is not None, "the first answer reads \"a) Praděd\""):
        check(answer.description.startswith("Otázka 1 z "), "  described by its question (%r)" % answer.description)
        check("Která hora je nejvyšší horou České republiky?" in answer.description, "  with the question's text")
        check(answer.getState().contains(pyatspi.STATE_FOCUSED), "  and has the keyboard")
        panel = answer.parent
        check(panel.name.startswith("Otázka 1 z "), "the answers stand in \"%s\"" % panel.name)

    # F10 shows the menu; its entries by name and shortcut.
    key(XK["F10"])
    menu = wait_for(lambda: find(app, role="popup menu", name="Soubor", showing=True))
    if check(menu is not None, "F10 opens the menu \"Soubor\""):
        entries = {}
        for item in children(menu):
            if item.getRoleName() == "menu item":
                try:
                    accel = item.queryAction().getKeyBinding(0)
                except Exception:
                    accel = ""
                entries.setdefault(item.name, []).append(accel)
        for name, keys in (("Otevřít test", "Ctrl+O"), ("Další otázka", "F7"), ("Výsledky testu", "Ctrl+V"),
                           ("Čas testu", "F9")):
            check(any(keys in k for k in entries.get(name, [])),
                  "  the entry \"%s\" with its key %s (%r)" % (name, keys, entries.get(name)))
        key(XK["Escape"])
        check(wait_for(lambda: not menu.getState().contains(pyatspi.STATE_SHOWING), 5) is not None,
              "Esc closes the menu")
        back = wait_for(lambda: focused(main_window))
        check(back is not None and back.name == "a) Praděd", "the keyboard is back on \"a) Praděd\"")
        check(back is not None and not back.getState().contains(pyatspi.STATE_CHECKED), "  which stays unchecked")

    # A question in a balloon: an alert named by its title and described
    # by its text, its buttons by name.
    key_with(KEYCODE_CONTROL, XK["z"])
    alert = wait_for(lambda: find(app, role="alert", showing=True))
    if check(alert is not None, "Ctrl+Z shows the question as an alert"):
        check(alert.name == "Vedomec", "  titled \"Vedomec\" (%r)" % alert.name)
        check(alert.description == "Opravdu chcete ukončit tento test?", "  with its text (%r)" % alert.description)
        yes = find(alert, role="push button", name="Ano")
        check(yes is not None and find(alert, role="push button", name="Ne") is not None, "  buttons Ano and Ne")
        key(XK["Escape"])


if __name__ == "__main__":
    try:
        main()
    finally:
        print("%d failure(s)" % len(FAILURES))
    sys.exit(1 if FAILURES else 0)
