// Loaded into KWin by Vantrel (org.kde.KWin /Scripting loadScript, then run): reports each
// window KWin activates to Vantrel's Focus interface on the session bus, for automatic
// profile switching. The application id is the window's desktop file name (Wayland app
// id), else its resource class or name (X11 WM_CLASS); the title goes only to Vantrel,
// which keeps it to match title rules. Plasma 6 names the signal windowActivated and the
// property activeWindow; Plasma 5 clientActivated and activeClient.
(function () {
    "use strict";
    var service = "org.vantrel.Vantrel1";
    var path = "/org/vantrel/Vantrel1";
    var iface = "org.vantrel.Vantrel1.Focus";

    function text(value) {
        return value === undefined || value === null ? "" : String(value);
    }

    function report(window) {
        var appId = "";
        var title = "";
        var pid = 0;
        if (window) {
            appId = text(window.desktopFileName) || text(window.resourceClass) || text(window.resourceName);
            title = text(window.caption);
            pid = window.pid > 0 ? Math.floor(window.pid) : 0;
        }
        // KWin passes a script's number on as an int or a double depending on the release;
        // the method takes either besides the unsigned number its signature names.
        callDBus(service, path, iface, "WindowActivated", appId, title, pid);
    }

    if (workspace.windowActivated !== undefined) {
        workspace.windowActivated.connect(report);
        report(workspace.activeWindow);
    } else {
        workspace.clientActivated.connect(report);
        report(workspace.activeClient);
    }
})();
