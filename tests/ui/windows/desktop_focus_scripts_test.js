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

function expectCall(call, appId, title, pid) {
  assert.deepStrictEqual(call.slice(0, 4),
                         ["org.vantrel.Vantrel1", "/org/vantrel/Vantrel1", "org.vantrel.Vantrel1.Focus", "WindowActivated"]);
  assert.deepStrictEqual(call.slice(4), [appId, title, pid]);
  recorded.push([appId, title, pid]);
}

// ---- KWin -----------------------------------------------------------------------------

function runKWin(plasma6) {
  const calls = [];
  const activated = signal();
  const workspace = plasma6
      ? {windowActivated: activated, activeWindow: {desktopFileName: "org.kde.konsole", caption: "Shell", pid: 4100}}
      : {clientActivated: activated, activeClient: null};
  const context = vm.createContext({workspace, callDBus: (...args) => calls.push(args), Math, String});
  vm.runInContext(fs.readFileSync(kwinPath, "utf8"), context, {filename: kwinPath});
  assert.strictEqual(activated.count(), 1, "the script connects to the activation signal once");
  // The window active when the script starts is reported at once.
  if (plasma6) expectCall(calls.shift(), "org.kde.konsole", "Shell", 4100);
  else expectCall(calls.shift(), "", "", 0);
  // A Wayland window: its desktop file name; an X11 one: its resource class, else name.
  activated.emit({desktopFileName: "steam_app_570", resourceClass: "dota2", caption: "Dota 2", pid: 321});
  expectCall(calls.shift(), "steam_app_570", "Dota 2", 321);
  activated.emit({desktopFileName: "", resourceClass: "Xmessage", resourceName: "alpha", caption: "a", pid: 7});
  expectCall(calls.shift(), "Xmessage", "a", 7);
  activated.emit({resourceName: "beta", caption: undefined, pid: -1});
  expectCall(calls.shift(), "beta", "", 0);
  // Focus on no window (the desktop).
  activated.emit(null);
  expectCall(calls.shift(), "", "", 0);
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
  display.focus_window = null;
  for (const h of handlers.values()) h();
  expectCall(calls.shift(), "", "", 0);
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
