#!/usr/bin/python3
"""What a blind pupil hears: drives the program by keys while Orca runs with
its speech logged (orca_speechlog.py), and checks after each step that the
log holds what must be heard.  Every wait polls the log or the tree, so a
slow machine only makes it slower.  Run by orca_speech.sh.

Usage: orca_speech.py <speech log> <orca pid> <program> <program log>
"""
import os
import subprocess
import sys
import time

# Says SKIP and exits 77 where pyatspi is missing.
import atspi_tree
from atspi_tree import FAILURES, application, check, focused

import pyatspi  # noqa: E402

LOG, ORCA_PID, PROGRAM, PROGRAM_LOG = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
SLOW = 1.0  # the step a wait polls at, in seconds


def lines():
    try:
        with open(LOG, encoding="utf-8") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def said(since):
    """What Orca said after the mark `since`, as one text."""
    return "\n".join(l.split(" ", 1)[1] if " " in l else "" for l in lines()[since:] if l.startswith("SPEAK "))


def bad(since):
    return [l for l in lines()[since:] if l.startswith("BAD ")]


def mark():
    return len(lines())


def wait_for(predicate, timeout=30.0):
    return atspi_tree.wait_for(predicate, timeout)


def quiet(since, settle=1.5, timeout=20.0):
    """Waits until Orca has said nothing new for `settle` seconds."""
    end = time.time() + timeout
    count, changed = len(lines()), time.time()
    while time.time() < end:
        time.sleep(0.1)
        now = len(lines())
        if now != count:
            count, changed = now, time.time()
        elif time.time() - changed >= settle:
            return


def hears(since, *texts, timeout=30.0):
    """Waits until every text was said after `since`."""
    return wait_for(lambda: all(t in said(since) for t in texts), timeout) is not None


def show(title, since):
    print("  [%s] Orca said:" % title)
    for l in lines()[since:]:
        print("    " + l)


def heard(press, texts, what, title):
    """Presses a key (a name, or ("Ctrl", name)) and checks that every text is
    heard after it; shows what Orca said when not.  Waits until Orca is quiet
    and returns the mark from before the key."""
    since = mark()
    if isinstance(press, tuple):
        key_with(KEYCODE_CONTROL, press[1])
    else:
        key(press)
    ok = hears(since, *texts)
    if not check(ok, what):
        show(title, since)
    quiet(since)
    return since


# --- Keys, as a pupil presses them ---------------------------------------------

XK = {"Down": 0xFF54, "Up": 0xFF52, "Right": 0xFF53, "Left": 0xFF51, "Return": 0xFF0D, "Escape": 0xFF1B,
      "Tab": 0xFF09, "space": 0x20, "F1": 0xFFBE, "F5": 0xFFC2, "F6": 0xFFC3, "F7": 0xFFC4, "F8": 0xFFC5, "F9": 0xFFC6,
      "F10": 0xFFC7, "KP_Home": 0xFF95, "KP_Up": 0xFF97}
KEYCODE_CONTROL = 37
KEYCODE_SHIFT = 50


def key(name):
    sym = XK[name] if name in XK else ord(name)
    pyatspi.Registry.generateKeyboardEvent(sym, None, pyatspi.KEY_SYM)
    time.sleep(0.2)


def key_with(modifier_keycode, name):
    sym = XK[name] if name in XK else ord(name)
    pyatspi.Registry.generateKeyboardEvent(modifier_keycode, None, pyatspi.KEY_PRESS)
    pyatspi.Registry.generateKeyboardEvent(sym, None, pyatspi.KEY_SYM)
    pyatspi.Registry.generateKeyboardEvent(modifier_keycode, None, pyatspi.KEY_RELEASE)
    time.sleep(0.2)


# --- The tree, only to find the way ---------------------------------------------

def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def heard_item(since, name):
    """Whether Orca named the item `name` after `since` ("Zeměpis collapsed."
    names "Zeměpis", "Zeměpis České republiky." does not)."""
    for l in said(since).splitlines():
        rest = l[len(name):] if l.startswith(name) else None
        if rest is not None and (rest in ("", ".") or (rest.startswith(" ") and rest[1:2].islower())):
            return True
    return False


def open_test(kind, test):
    """Ctrl+O, then by ear down the tree to `kind`, open it, down to `test`,
    Enter.  Returns the mark before Enter, or None."""
    since = mark()
    key_with(KEYCODE_CONTROL, "o")
    if not check(hears(since, "Otevřít databázi"), "Ctrl+O: the dialog \"Otevřít databázi\" is heard"):
        show("Ctrl+O", since)
        return None
    quiet(since)
    # From the "Otevřít" button back to the tree.
    key_with(KEYCODE_SHIFT, "Tab")
    key_with(KEYCODE_SHIFT, "Tab")
    for want, then in ((kind, "Right"), (test, "Return")):
        step = mark()
        for _ in range(16):
            quiet(step, settle=0.8)
            if heard_item(step, want):
                break
            step = mark()
            key("Down")
        if not check(heard_item(step, want), "  the keys reach \"%s\"" % want):
            show("tree", step)
            return None
        if then == "Return":
            since = mark()
        key(then)
    return since


def opens(kind, test, texts, what, title):
    """Opens `test` of `kind` by ear (open_test) and checks that every text is
    heard as it opens.  Returns the mark before Enter, or None."""
    since = open_test(kind, test)
    if since is None:
        return None
    if not check(hears(since, *texts), what):
        show(title, since)
    quiet(since)
    return since


def main():
    if not wait_for(lambda: any(l.startswith("SPEAK ") for l in lines()), 120):
        print("SKIP: Orca did not start (it said nothing in 120 s)")
        return 77
    quiet(0)
    print("Orca is up: " + said(0).replace("\n", " / "), flush=True)
    program = subprocess.Popen([PROGRAM], cwd=os.path.dirname(PROGRAM),
                               stdout=open(PROGRAM_LOG, "w"), stderr=subprocess.STDOUT)
    try:
        return drive(program)
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()


def drive(program):
    app = wait_for(lambda: application(program.pid), 120)
    if not check(app is not None, "the program is on the AT-SPI bus"):
        return 1
    check(hears(0, "Vedomec 2001", timeout=90), "the main window is heard by its title")
    quiet(0)

    # --- A test of four answers ------------------------------------------------
    if opens("Zeměpis", "Zeměpis České republiky",
             ["Otázka 1 z 14", "Která hora je nejvyšší horou České republiky?", "a) Praděd"],
             "opening reads question 1, its number and answer a)", "opening") is None:
        return 1

    heard("F7", ["Otázka 2 z 14", "nejdelší řeka", "Labe", "Morava", "Vltava", "Odra"], "F7 reads question 2, its number and its four answers", "F7")

    heard("F6", ["Otázka 1 z 14", "Která hora je nejvyšší", "Praděd", "Sněžka", "Lysá hora", "Klínovec"], "F6 reads question 1 again with its answers", "F6")

    heard("F9", ["Zbývá", "uplynulo"], "F9 reads the time left and the time taken", "F9")

    # Every question answered a) but the last; the results are asked for.
    for _ in range(13):
        key("space")
        step = mark()
        key("F7")
        wait_for(lambda: "Otázka" in said(step), 30)
    quiet(step)
    heard(("Ctrl", "v"), ["Ještě nebyly zodpovězeny všechny otázky!"], "Ctrl+V with one question unanswered reads the message", "Ctrl+V")
    since = mark()
    key("Return")
    check(hears(since, "Otázka 1 z 14", timeout=20), "  and after OK the first question is heard again")
    quiet(since)

    since = mark()
    key("F8")
    check(hears(since, "Otázka 14 z 14"), "F8 reads the last question")
    quiet(since)
    key("space")
    heard(("Ctrl", "v"), ["Výsledek testu", "Celkový počet otázek", "14", "Hodnocení"], "the results are read as they open", "results")
    # Every stop of the keyboard in the dialog is named.
    since = mark()
    for _ in range(5):
        step = mark()
        key("Tab")
        quiet(step, settle=0.8)
        if said(step).startswith("Ok"):
            break
    stops = said(since)
    check("Chybně zodpovězené otázky" in stops and "Ukázat" in stops and " filler" not in stops
          and not any(l.startswith(("scroll pane", "filler", "panel")) for l in stops.splitlines()),
          "Tab in the results stops only at named controls (%r)" % stops)
    since = mark()
    key("Return")
    quiet(since)

    # --- F10: the menu with the keys ---------------------------------------------
    heard("F10", ["Otevřít test", "Ctrl+O"], "F10 reads the first entry with its shortcut", "F10")
    key("Escape")
    quiet(mark())

    # --- The guide: Enter on "Tipy" shows the first tip -------------------------
    since = mark()
    key("F1")
    check(hears(since, "Nápověda"), "F1 reads the guide")
    quiet(since)
    for _ in range(12):
        step = mark()
        key("Tab")
        quiet(step, settle=0.8)
        if "Tipy" in said(step):
            break
    since = heard("Return", ["Program test umožňuje vytvořit tři různé typy testů."], "Enter on \"Tipy\" reads the first tip",
                  "Tipy")
    # The next tip, read as it replaces the first in the open balloon.
    for _ in range(6):
        if said(since).splitlines()[-1:] and said(since).splitlines()[-1].startswith("Další"):
            break
        step = mark()
        key("Tab")
        quiet(step, settle=0.8)
        since = step if "Další" in said(step) else since
    heard("Return", ["Je možné vytvořit neomezené množství testů pro každý typ."], "Enter on \"Další\" reads the next tip", "Další")
    key("Escape")
    quiet(mark())

    # --- A typed answer ------------------------------------------------------------
    if opens("Český jazyk", "Vyjmenovaná slova", ["Otázka 1 z 14", "b_lina"],
             "opening a typed test reads question 1", "opening C") is None:
        return 1
    key("y")
    heard("F7", ["Otázka 2 z 14", "m_š"], "F7 reads the next question to be typed", "F7 C")
    heard("F6", ["Otázka 1 z 14", "b_lina"], "F6 reads question 1 with the answer typed", "F6 C")

    # Flat review reaches the question above the answer box.
    since = mark()
    key("KP_Up")
    for _ in range(4):
        if "b_lina" in said(since):
            break
        step = mark()
        key("KP_Home")
        quiet(step, settle=0.8)
    ok = "b_lina" in said(since)
    if not check(ok, "flat review reads the question shown"):
        show("flat review", since)
    quiet(since)

    # --- Ending ---------------------------------------------------------------------
    heard(("Ctrl", "z"), ["Opravdu chcete ukončit tento test?"], "Ctrl+Z reads the question", "Ctrl+Z")
    since = mark()
    key("Return")
    quiet(since, settle=3)
    after = said(since)
    check("Otázka" not in after and "b_lina" not in after, "after Ano no question is heard (%r)" % after)
    f = wait_for(lambda: focused(app), 10)
    check(f is not None and showing(f), "  and the keyboard is on a control shown (%s)"
          % (f.name if f is not None else None))

    # --- ANO / NE -------------------------------------------------------------------
    if opens("Přírodověda", "Živá a neživá příroda", ["Otázka 1 z 14", "Netopýr je savec.", "ANO"],
             "opening a test of ANO/NE reads question 1 and its answer", "opening B") is None:
        return 1
    # The state said is the state the box has: Orca once said "not checked"
    # of the box just chosen and "checked" of one just cleared.
    since = heard("Down", ["NE"], "Down reads the other answer, NE", "Down B")
    check("not checked" not in said(since), "  checked, and nothing else said of it (%r)" % said(since))
    since = heard("F7", ["Otázka 2 z 14", "Pavouk má šest nohou."], "F7 reads the next ANO/NE question", "F7 B")
    check("\nchecked" not in "\n" + said(since), "  with its answers not checked (%r)" % said(since))
    heard("F6", ["Otázka 1 z 14", "Netopýr je savec.", "NE"], "F6 reads question 1 with the answer chosen", "F6 B")
    heard(("Ctrl", "z"), ["Opravdu chcete ukončit tento test?"], "Ctrl+Z in ANO/NE reads the question", "Ctrl+Z B")
    since = mark()
    key("Return")
    quiet(since, settle=3)
    check("Netopýr" not in said(since), "  and after Ano no question of it is heard")

    problems = bad(0)
    check(not problems, "Orca was never given anything but text to speak (%s)" % problems[:3])
    return 1 if FAILURES else 0


if __name__ == "__main__":
    try:
        rc = main()
    finally:
        print("%d failure(s)" % len(FAILURES))
    sys.exit(rc)
