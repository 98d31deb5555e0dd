"""What atspi_walk.py and orca_speech.py share: the failures they count and
the way through the program's accessibility tree.  Exits 77 when pyatspi is
missing."""
import sys
import time

try:
    import pyatspi
except ImportError:
    print("SKIP: python3-pyatspi is not installed")
    sys.exit(77)

FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def wait_for(predicate, timeout=20.0, step=0.1):
    end = time.time() + timeout
    while time.time() < end:
        try:
            value = predicate()
        except Exception:  # the tree changes under us while we look
            value = None
        if value:
            return value
        time.sleep(step)
    return None


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return []


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for c in children(node):
        yield from walk(c, depth + 1)


def find(root, role=None, name=None, showing=None):
    for n in walk(root):
        try:
            if role is not None and n.getRoleName() != role:
                continue
            if name is not None and n.name != name:
                continue
            if showing is not None and n.getState().contains(pyatspi.STATE_SHOWING) != showing:
                continue
            return n
        except Exception:
            continue
    return None


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def focused(root):
    """The focused item under root (root itself not counted)."""
    for n in walk(root):
        try:
            if n != root and n.getState().contains(pyatspi.STATE_FOCUSED):
                return n
        except Exception:
            continue
    return None
