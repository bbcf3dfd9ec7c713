// The KWin script and the GNOME Shell extension that report the focused window, run
// against stand-ins of what KWin (Plasma 5.27 and 6) and GNOME Shell 43 give them. Checks
// that each activation becomes one call of org.vantrel.Vantrel1.Focus.WindowActivated with
// the right arguments, and that the extension lets go of its signal when disabled.
// With --print, also prints each recorded call as "APP_ID<TAB>TITLE<TAB>PID" for a caller
// that replays them on the session bus against the running program.
// Usage: node desktop_focus_scripts_test.js KWIN_SCRIPT EXTENSION_JS [--print]
"use strict";
const fs = require("fs");
const vm = require("vm");
const assert = require("assert");

const [kwinPath, extensionPath] = process.argv.slice(2, 4);
const print = process.argv.includes("--print");
const recorded = [];

function signal() {
  const handlers = [];
  return {
    connect(handler) { handlers.push(handler); },
    emit(value) { for (const h of handlers) h(value); },
    count() { return handlers.length; },
  };
}

function expectCall(call, appId, title, pid, service = "org.vantrel.Vantrel1") {
  assert.deepStrictEqual(call.slice(0, 4), [service, "/org/vantrel/Vantrel1", "org.vantrel.Vantrel1.Focus", "WindowActivated"]);
  assert.deepStrictEqual(call.slice(4), [appId, title, pid]);
  recorded.push([appId, title, pid]);
}

// ---- KWin -----------------------------------------------------------------------------

// KWin's callDBus: a function as the last argument gets the reply's values, and is not
// called when the reply is an error. The bus answers GetNameOwner with `owner`, or with
// an error when it is null (Vantrel not running).
function runKWin(plasma6) {
  const calls = [];
  let owner = ":1.42";
  function callDBus(service, path, iface, method, ...args) {
    const callback = typeof args[args.length - 1] === "function" ? args.pop() : null;
    if (method === "GetNameOwner") {
      assert.deepStrictEqual([service, path, iface, args], ["org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                            "org.freedesktop.DBus", ["org.vantrel.Vantrel1"]]);
      assert.ok(callback, "the owner is asked with a callback");
      if (owner !== null) callback(owner);
      return;
    }
    assert.strictEqual(callback, null);
    calls.push([service, path, iface, method, ...args]);
  }
  const activated = signal();
  const workspace = plasma6
      ? {windowActivated: activated, activeWindow: {desktopFileName: "org.kde.konsole", caption: "Shell", pid: 4100}}
      : {clientActivated: activated, activeClient: null};
  const context = vm.createContext({workspace, callDBus, Math, String});
  vm.runInContext(fs.readFileSync(kwinPath, "utf8"), context, {filename: kwinPath});
  assert.strictEqual(activated.count(), 1, "the script connects to the activation signal once");
  // The window active when the script starts is reported at once, to the name's owner
  // (a call to a unique name never starts a program); no window is not reported.
  if (plasma6) expectCall(calls.shift(), "org.kde.konsole", "Shell", 4100, ":1.42");
  assert.strictEqual(calls.length, 0);
  // A Wayland window: its desktop file name; an X11 one: its resource class, else name.
  activated.emit({desktopFileName: "steam_app_570", resourceClass: "dota2", caption: "Dota 2", pid: 321});
  expectCall(calls.shift(), "steam_app_570", "Dota 2", 321, ":1.42");
  activated.emit({desktopFileName: "", resourceClass: "xmessage", resourceName: "alpha", caption: "a", pid: 7});
  expectCall(calls.shift(), "xmessage", "a", 7, ":1.42");
  activated.emit({resourceName: "beta", caption: undefined, pid: -1});
  expectCall(calls.shift(), "beta", "", 0, ":1.42");
  // Focus on no window (between two windows, or the desktop): nothing to report.
  activated.emit(null);
  assert.strictEqual(calls.length, 0);
  // Vantrel has ended: nothing is called (a call to its name would start it again).
  owner = null;
  activated.emit({desktopFileName: "org.kde.dolphin", caption: "Home", pid: 9});
  assert.strictEqual(calls.length, 0);
  // Started again under another connection: its new unique name is called.
  owner = ":1.77";
  activated.emit({desktopFileName: "org.kde.dolphin", caption: "Home", pid: 9});
  expectCall(calls.shift(), "org.kde.dolphin", "Home", 9, ":1.77");
  assert.strictEqual(calls.length, 0);
}

// ---- GNOME Shell ----------------------------------------------------------------------

function fakeWindow(wmClass, gtkId, title, pid) {
  return {
    get_wm_class: () => wmClass,
    get_gtk_application_id: () => gtkId,
    get_sandboxed_app_id: () => null,
    get_title: () => title,
    get_pid: () => pid,
  };
}

function runGnome() {
  const calls = [];
  const handlers = new Map();
  let nextId = 1;
  const display = {
    focus_window: fakeWindow("org.gnome.Terminal", null, "Terminal", 2000),
    connect(name, handler) {
      assert.strictEqual(name, "notify::focus-window");
      handlers.set(nextId, handler);
      return nextId++;
    },
    disconnect(id) {
      assert.ok(handlers.delete(id), "disconnects the handler it connected");
    },
  };
  class Variant {
    constructor(signature, values) {
      this.signature = signature;
      this.values = values;
    }
  }
  const Gio = {
    DBus: {
      session: {
        call(service, path, iface, method, parameters, replyType, flags, timeout, cancellable, callback) {
          assert.strictEqual(parameters.signature, "(ssu)");
          calls.push([service, path, iface, method, ...parameters.values]);
          // Vantrel is not running: the reply is an error, which the extension swallows.
          callback({call_finish() { throw new Error("org.freedesktop.DBus.Error.ServiceUnknown"); }}, {});
        },
      },
    },
    DBusCallFlags: {NO_AUTO_START: 1},
  };
  const context = vm.createContext({imports: {gi: {Gio, GLib: {Variant}}}, global: {display}, String});
  vm.runInContext(fs.readFileSync(extensionPath, "utf8") + "\n;this.extension = init();", context,
                  {filename: extensionPath});
  const extension = context.extension;
  assert.strictEqual(calls.length, 0, "nothing is reported before enable()");
  extension.enable();
  expectCall(calls.shift(), "org.gnome.Terminal", "Terminal", 2000);
  assert.strictEqual(handlers.size, 1);
  display.focus_window = fakeWindow(null, "org.example.Game", "Level 1", 55);
  for (const h of handlers.values()) h();
  expectCall(calls.shift(), "org.example.Game", "Level 1", 55);
  // No window has the focus (on its way to the next one): nothing to report.
  display.focus_window = null;
  for (const h of handlers.values()) h();
  assert.strictEqual(calls.length, 0);
  extension.disable();
  assert.strictEqual(handlers.size, 0, "disable() lets go of the signal");
  extension.enable();
  extension.disable();
  assert.strictEqual(handlers.size, 0);
}

runKWin(false);
runKWin(true);
runGnome();
if (print) {
  for (const [appId, title, pid] of recorded) console.log(`${appId}\t${title}\t${pid}`);
} else {
  console.log(`ok: ${recorded.length} reports checked`);
}
