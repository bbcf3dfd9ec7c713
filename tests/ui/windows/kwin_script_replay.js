// Runs the KWin focus script as KWin 5.27 would, with one window active, and carries its
// callDBus out for real with gdbus on the session bus: the script's own call reaches the
// running program. Usage: node kwin_script_replay.js SCRIPT APP_ID TITLE PID
"use strict";
const fs = require("fs");
const vm = require("vm");
const {execFileSync} = require("child_process");

const [script, appId, title, pid] = process.argv.slice(2);
function callDBus(service, path, iface, method, ...args) {
  // KWin passes a script's number on as a double on some releases: do the same here.
  const typed = args.map((a) => (typeof a === "number" ? `double ${a}` : JSON.stringify(a)));
  execFileSync("gdbus", ["call", "--session", "--dest", service, "--object-path", path, "--method",
                         `${iface}.${method}`, ...typed], {stdio: "inherit"});
}
const workspace = {
  clientActivated: {connect() {}},
  activeClient: {resourceClass: appId, resourceName: appId.toLowerCase(), caption: title, pid: Number(pid)},
};
vm.runInContext(fs.readFileSync(script, "utf8"), vm.createContext({workspace, callDBus, Math, String}));
