"""Walks the accessibility tree of a running `vantrel` over AT-SPI, as a screen reader
does, prints it and checks the names, descriptions and roles of the main window, the
profile manager and the key page. Usage: accessibility_tree.py PID"""
import subprocess
import sys
import time

import pyatspi

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


# A sanitizer build on a loaded machine takes its time to start and to answer: the wait ends
# as soon as the thing is found, so a long limit costs nothing when all is well.
def wait_for(find, seconds=60.0):
    end = time.time() + seconds
    while time.time() < end:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    return None


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            pass
    return None


def walk(node, depth=0, out=None):
    out = [] if out is None else out
    try:
        role, name, description = node.getRoleName(), node.name, node.description
        states = node.getState()
    except Exception:
        return out
    if not states.contains(pyatspi.STATE_SHOWING) and depth > 1:
        return out
    out.append((depth, role, name, description, node))
    for child in node:
        if child is not None:
            walk(child, depth + 1, out)
    return out


def dump(title, nodes):
    print("=== " + title + " ===")
    for depth, role, name, description, _ in nodes:
        line = "  " * depth + role + ' "' + name + '"'
        if description and description != name:
            line += " - " + description
        print(line)


def windows(app):
    return [w for w in app if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)]


def window_named(app, part):
    for w in windows(app):
        if part in w.name:
            return w
    return None


def find(nodes, role, name):
    for _, r, n, _, node in nodes:
        if r == role and n == name:
            return node
    return None


def click(node):
    # The pointer, not an AT-SPI action: a modal page would hold the action's reply.
    extents = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = extents.x + extents.width // 2, extents.y + extents.height // 2
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=False)


def main():
    pid = int(sys.argv[1])
    app = wait_for(lambda: application(pid))
    if app is None:
        print("FAIL: the program never appeared on the accessibility bus")
        return 1
    main_window = wait_for(lambda: window_named(app, "Vantrel"))
    check(main_window is not None, "main window shown")
    if main_window is None:
        return 1
    # The keyboard's first reading names the keys' assignments; give it a moment.
    time.sleep(1.0)
    nodes = walk(main_window)
    dump("main window", nodes)

    check(find(nodes, "push button", "Apply") is not None, "Apply is a push button")
    check(find(nodes, "push button", "Profile 1") is not None, "Profile 1 is a push button")
    check(find(nodes, "push button", "Profile manager") is not None, "the profile manager's button")
    caps = find(nodes, "check box", "Caps")
    check(caps is not None and caps.description == "Caps Lock (lit while it is on)",
          "the Caps Lock lamp is a check box named by its caption, its tooltip the description")
    key_a = find(nodes, "push button", "A")
    check(key_a is not None, "key button A")
    if key_a is not None:
        check(key_a.description.startswith("A"), "key A's description is its assignment")
    for g in range(1, 10):
        check(find(nodes, "push button", "G%d" % g) is not None, "G key G%d" % g)
    # The keys, the command buttons and the sliders all have names; the icons of the
    # lighting panel are named by their tooltips where they have one.
    unnamed = [r for _, r, n, _, _ in nodes if r in ("push button", "check box", "slider") and not n]
    print("controls without a name: %d" % len(unnamed))
    check(all(n for _, r, n, _, _ in nodes if r == "slider"), "every slider has a name")

    # The profile manager, from its button.
    manager_button = find(nodes, "push button", "Profile manager")
    if manager_button is not None:
        click(manager_button)
        manager = wait_for(lambda: next((w for w in windows(app) if w != main_window and
                                         find(walk(w), "push button", "OK") is not None), None), 10)
        check(manager is not None, "the profile manager opens")
        if manager is not None:
            mnodes = walk(manager)
            dump("profile manager", mnodes)
            check(any(r in ("tree table", "table", "tree", "list") and n == "Profile manager"
                      for _, r, n, _, _ in mnodes), "the profile list is named")
            check(find(mnodes, "push button", "OK") is not None, "the manager's OK")
            subprocess.run(["xdotool", "key", "Escape"], check=False)
            closed = wait_for(lambda: manager not in windows(app), 10)
            check(bool(closed), "Escape closes the profile manager")

    # The key page, from key A.
    if key_a is not None:
        click(key_a)
        page = wait_for(lambda: next((w for w in windows(app) if w != main_window and
                                      find(walk(w), "push button", "Single key") is not None), None), 10)
        check(page is not None, "the key page opens")
        if page is not None:
            pnodes = walk(page)
            dump("key page", pnodes)
            check(find(pnodes, "push button", "Cancel") is not None, "the page's Cancel")
            check(find(pnodes, "check box", "Keyboard") is not None, "the KB choice is a named check box")
            check(find(pnodes, "check box", "Mouse") is not None, "the MOU choice is a named check box")
            field = next((n for _, role, name, _, n in pnodes if role == "text" and name.startswith("Assign a key")), None)
            check(field is not None and field.description.startswith("Press the key to assign."),
                  "the key field tells how it takes keys, Tab and Escape included")

    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
