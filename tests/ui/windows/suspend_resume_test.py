#!/usr/bin/env python3
"""The program across a suspend, on a private bus (the session bus of dbus-run-session,
also used as the system bus), with python3-dbusmock's login manager and notification
service, and the virtual keyboard slowed down so that a write takes seconds.

1. The keyboard is configured with vantrelctl; vantrel starts and reads it; it takes the
   sleep inhibitor.
2. Sleep: with nothing running the inhibitor goes at once. The keyboard is unplugged,
   reset to its factory state and plugged in while "asleep": the program sees the arrival
   but starts no bracket. Resume: the inhibitor is taken again, and a notification names
   what changed, with the action "write-again".
3. The action is invoked: the write starts; a sleep announced in the middle of it keeps
   the inhibitor until the write is done (no bracket left open), work asked for while
   asleep waits for the resume. The keyboard then holds the configuration again and no
   new notification comes.
4. Without any bus the program starts, works and ends as usual.

Usage: suspend_resume_test.py VANTREL VANTRELCTL SCRATCH_FOLDER OUTPUT_FOLDER
"""
import json
import os
import socket
import subprocess
import sys
import time

import dbus

VANTREL, CTL, SCRATCH, OUTPUT = sys.argv[1:5]
STATE = os.path.join(SCRATCH, "keyboard.json")
TRACE = os.path.join(SCRATCH, "trace.txt")
LOG = os.path.join(SCRATCH, "vantrel.log")
LATENCY_US = "20000"  # 20 ms per report and direction: a full write takes seconds
WRITES = {0x04, 0x06, 0x08, 0x0A, 0x11}
BEGIN, END = 0x01, 0x02

failures = []


def check(condition, what):
    print(("ok: " if condition else "FAILED: ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wait_for(predicate, timeout=30.0, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def ctl(*args):
    run = subprocess.run([CTL, "--simulate=" + STATE, *args], capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        print(run.stdout, run.stderr)
    check(run.returncode == 0, "vantrelctl " + " ".join(args))
    return run.stdout


def sim_event(name, env=None):
    run = subprocess.run([VANTREL, "--sim-event", name], capture_output=True, text=True, timeout=60, env=env)
    check(run.returncode == 0, "vantrel --sim-event " + name + " " + run.stderr.strip())


def sent_commands(path=TRACE):
    """The command byte of every report sent to the keyboard, in order."""
    try:
        with open(path, encoding="ascii") as f:
            lines = [l for l in f if l.startswith("> CTRL ")]
    except FileNotFoundError:
        return []
    return [int(l[7 + 3 * 3:7 + 3 * 3 + 2], 16) for l in lines]


def settle(quiet=1.5, timeout=90.0):
    """Waits until no report has been sent for `quiet` seconds."""
    end = time.monotonic() + timeout
    last, since = -1, time.monotonic()
    while time.monotonic() < end:
        n = len(sent_commands())
        if n != last:
            last, since = n, time.monotonic()
        elif time.monotonic() - since >= quiet:
            return True
        time.sleep(0.05)
    return False


def start_mock(args, env):
    return subprocess.Popen([sys.executable, "-m", "dbusmock", *args], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def main():
    bus_address = os.environ["DBUS_SESSION_BUS_ADDRESS"]
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus_address)
    os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = bus_address
    bus = dbus.SessionBus()
    mocks = [start_mock(["--system", "--template", "logind"], env),
             start_mock(["--template", "notification_daemon"], env)]
    program = None
    try:
        if not check(wait_for(lambda: bus.name_has_owner("org.freedesktop.login1") and
                              bus.name_has_owner("org.freedesktop.Notifications"), 30), "mock services up"):
            return
        login = bus.get_object("org.freedesktop.login1", "/org/freedesktop/login1")
        manager = dbus.Interface(login, "org.freedesktop.login1.Manager")
        login_mock = dbus.Interface(login, "org.freedesktop.DBus.Mock")
        notices = bus.get_object("org.freedesktop.Notifications", "/org/freedesktop/Notifications")
        notices_mock = dbus.Interface(notices, "org.freedesktop.DBus.Mock")

        def inhibitors():
            return [i for i in manager.ListInhibitors() if str(i[1]) == "Vantrel"]

        def prepare_for_sleep(start):
            login_mock.EmitSignal("org.freedesktop.login1.Manager", "PrepareForSleep", "b", [dbus.Boolean(start)])

        def notify_calls():
            return notices_mock.GetMethodCalls("Notify")

        # 1. A configured keyboard, read by the program at its start.
        ctl("keys", "set", "--profile", "1", "Esc", "disabled")
        ctl("macros", "add", "Boot", "A+", "A-")
        ctl("lighting", "set", "--profile", "0", "--brightness", "1")
        ctl("profile", "1")
        before = json.loads(ctl("sim", "dump"))
        log = open(LOG, "w")
        program = subprocess.Popen([VANTREL, "--simulate=" + STATE, "--sim-latency", LATENCY_US, "--trace", TRACE,
                                    "--language", "1033"], env=env, stdout=log, stderr=subprocess.STDOUT)
        if not check(wait_for(lambda: len(inhibitors()) == 1 or program.poll() is not None, 30) and
                     program.poll() is None, "the program takes a sleep inhibitor"):
            return
        inhibitor = inhibitors()[0] if inhibitors() else None
        check(inhibitor is not None and str(inhibitor[0]) == "sleep" and str(inhibitor[3]) == "delay",
              "the inhibitor is a delay lock for sleep")
        check(wait_for(lambda: BEGIN in sent_commands(), 60) and settle(), "the keyboard is read at start")

        # 2. Asleep while idle: the lock goes at once; the keyboard is reset while unplugged.
        prepare_for_sleep(True)
        check(wait_for(lambda: not inhibitors(), 5), "asleep with nothing running: the inhibitor is released")
        mark = len(sent_commands())
        sim_event("unplug")
        sim_event("reset")
        sim_event("plug")
        time.sleep(2.0)
        asleep = sent_commands()[mark:]
        check(0x0F in asleep, "the arrival is seen while asleep (factory table read)")
        # A script's call while asleep is refused at once, not held to run after the resume
        # (long after its caller stopped waiting).
        keyboard = dbus.Interface(bus.get_object("org.vantrel.Vantrel1", "/org/vantrel/Vantrel1"),
                                  "org.vantrel.Vantrel1.Keyboard")
        try:
            keyboard.SetActiveProfile(dbus.Int32(2), timeout=10)
            refused = "answered"
        except dbus.exceptions.DBusException as e:
            refused = e.get_dbus_name() + ": " + e.get_dbus_message()
        check(refused.startswith("org.vantrel.Vantrel1.Error.Busy: the computer is going to sleep"),
              "a bus call while asleep is refused: " + refused)
        asleep = sent_commands()[mark:]
        check(BEGIN not in asleep and not WRITES & set(asleep), "no bracket and no write while asleep")
        check(not notify_calls(), "no notification while asleep")
        prepare_for_sleep(False)
        check(wait_for(lambda: len(inhibitors()) == 1, 10), "after the resume the inhibitor is taken again")
        check(wait_for(lambda: len(notify_calls()) == 1, 60), "a notification after the resume")
        calls = notify_calls()
        if calls:
            args = calls[0][1]
            summary, body, actions = str(args[3]), str(args[4]), [str(a) for a in args[5]]
            os.makedirs(OUTPUT, exist_ok=True)
            with open(os.path.join(OUTPUT, "notification.txt"), "w", encoding="utf-8") as f:
                f.write("summary: %s\nbody:\n%s\nactions: %s\n" % (summary, body, actions))
            print("--- notification ---\nsummary: %s\nbody:\n%s\nactions: %s\n---" % (summary, body, actions))
            check(summary == "The keyboard's configuration has changed", "the summary")
            check(actions == ["write-again", "Write again"], "the write-again action")
            for part in ("device state, active profile: written 1, the keyboard holds 0",
                         "profile 1, key Esc", "&quot;Boot&quot;" if "&quot;" in body else "\"Boot\"",
                         "profile 0 lighting, brightness: written 1"):
                check(part in body, "the body names: " + part)
        settle()

        # 3. The action writes again; a sleep in the middle waits for the write.
        mark = len(sent_commands())
        notices_mock.EmitSignal("org.freedesktop.Notifications", "ActionInvoked", "us",
                                [dbus.UInt32(1), "write-again"])
        check(wait_for(lambda: WRITES & set(sent_commands()[mark:]), 20), "the action starts the write")
        prepare_for_sleep(True)
        at_sleep = len(sent_commands())
        time.sleep(0.3)
        check(len(inhibitors()) == 1, "while the write runs the inhibitor is held")
        check(wait_for(lambda: not inhibitors(), 120), "the inhibitor is released once the write is done")
        done = sent_commands()
        check(len(done) > at_sleep, "the running write went on after the sleep was announced")
        check(done.count(BEGIN) == done.count(END), "no bracket is left open when the inhibitor goes")
        sim_event("lighting-changed")  # the lighting panel asks for a read bracket
        time.sleep(1.5)
        check(len(sent_commands()) == len(done), "work asked for while asleep sends nothing")
        prepare_for_sleep(False)
        check(wait_for(lambda: len(inhibitors()) == 1, 10), "the inhibitor is taken again")
        check(wait_for(lambda: BEGIN in sent_commands()[len(done):], 20), "the held work runs after the resume")
        settle()
        check(len(notify_calls()) == 1, "the keyboard is in step: no new notification")
        check(len(notices_mock.GetMethodCalls("CloseNotification")) == 1, "the notification is taken away")
        after = json.loads(ctl("sim", "dump"))
        for field in ("key_tables", "macro_area"):
            check(after[field] == before[field], "the keyboard holds its " + field + " again")
        check(after["device_state"][20:22] == before["device_state"][20:22], "the keyboard runs profile 1 again")
        record = 2 * 42
        check(all(after["lighting"][p * record:p * record + 2 * 35] == before["lighting"][p * record:p * record + 2 * 35]
                  for p in range(3)), "the keyboard holds its lighting again")

        run = subprocess.run([VANTREL, "/Kill"], env=env, capture_output=True, text=True, timeout=60)
        check(run.returncode == 0, "/Kill")
        check(program.wait(timeout=60) == 0, "the program ends with 0")
        program = None
    finally:
        if program:
            program.kill()
            program.wait()
        for m in mocks:
            m.terminate()
            m.wait()
    with open(LOG, encoding="utf-8", errors="replace") as f:
        output = f.read()
    if failures:
        print("--- vantrel output ---\n" + output)

    # 4. No bus at all: the program starts and ends as usual, without a word about it.
    nobus = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(SCRATCH, "no-system-bus"),
                 DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(SCRATCH, "no-session-bus"))
    trace = os.path.join(SCRATCH, "trace-nobus.txt")
    with open(os.path.join(SCRATCH, "nobus.log"), "w") as log:
        program = subprocess.Popen([VANTREL, "--simulate=" + STATE, "--trace", trace, "--language", "1033"], env=nobus,
                                   stdout=log, stderr=subprocess.STDOUT)
        check(wait_for(lambda: BEGIN in sent_commands(trace), 60), "without a bus the keyboard is read")
        run = subprocess.run([VANTREL, "/Kill"], env=nobus, capture_output=True, text=True, timeout=60)
        check(run.returncode == 0, "/Kill without a bus")
        check(program.wait(timeout=60) == 0, "without a bus the program ends with 0")
    with open(os.path.join(SCRATCH, "nobus.log"), encoding="utf-8", errors="replace") as f:
        output = f.read()
    check("dbus" not in output.lower() and "inhibit" not in output.lower(),
          "without a bus nothing is said about it: " + output.strip())

    # 5. A system bus that takes the connection and never answers: the start waits a few
    # seconds for it (it used to wait about 94 s), then goes on without the inhibitor.
    silent = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    silent.bind(os.path.join(SCRATCH, "silent-system-bus"))
    silent.listen(8)
    mute = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(SCRATCH, "silent-system-bus"))
    bus = dbus.SessionBus()
    with open(os.path.join(SCRATCH, "silent.log"), "w") as log:
        program = subprocess.Popen([VANTREL, "--simulate=" + STATE, "--language", "1033"], env=mute,
                                   stdout=log, stderr=subprocess.STDOUT)
        check(wait_for(lambda: bus.name_has_owner("org.vantrel.Vantrel1") or program.poll() is not None, 30) and
              program.poll() is None, "with a silent system bus the program is up within 30 s")
        run = subprocess.run([VANTREL, "/Kill"], env=mute, capture_output=True, text=True, timeout=60)
        check(run.returncode == 0, "/Kill with a silent system bus")
        check(program.wait(timeout=60) == 0, "with a silent system bus the program ends with 0")
    silent.close()
    with open(os.path.join(SCRATCH, "silent.log"), encoding="utf-8", errors="replace") as f:
        output = f.read()
    check("did not answer within 3000 ms; running without the sleep inhibitor" in output,
          "the silent system bus is named: " + output.strip())


if __name__ == "__main__":
    main()
    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)
