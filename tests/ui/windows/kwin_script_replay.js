// Runs the KWin focus script as KWin 5.27 would, with one window active, and carries its
// callDBus out for real with gdbus on the session bus: the script's own calls (the name's
// owner asked first, then the report) reach the running program. As in KWin, a reply that
// is an error runs no callback. Usage: node kwin_script_replay.js SCRIPT APP_ID TITLE PID
"use strict";
const fs = require("fs");
const vm = require("vm");
const {execFileSync} = require("child_process");

const [script, appId, title, pid] = process.argv.slice(2);
function callDBus(service, path, iface, method, ...args) {
  const callback = typeof args[args.length - 1] === "function" ? args.pop() : null;
  // KWin 5.27 sends a script's whole number as an int32.
  const typed = args.map((a) => (typeof a === "number" ? `int32 ${a}` : JSON.stringify(a)));
  const command = ["call", "--session", "--dest", service, "--object-path", path, "--method", `${iface}.${method}`,
                   ...typed];
  // The report itself must get through (the test fails otherwise); a refused question
  // ends the report quietly, as in KWin.
  if (!callback) {
    execFileSync("gdbus", command, {stdio: "inherit"});
    return;
  }
  let reply;
  try {
    reply = execFileSync("gdbus", command, {encoding: "utf8", stdio: ["ignore", "pipe", "ignore"]});
  } catch (e) {
    return;
  }
  // gdbus prints a tuple: the one string a GetNameOwner reply holds is enough here.
  const text = /'([^']*)'/.exec(reply);
  if (callback) callback(text ? text[1] : undefined);
}
const workspace = {
  clientActivated: {connect() {}},
  activeClient: {resourceClass: appId, resourceName: appId.toLowerCase(), caption: title, pid: Number(pid)},
};
vm.runInContext(fs.readFileSync(script, "utf8"), vm.createContext({workspace, callDBus, Math, String}));
