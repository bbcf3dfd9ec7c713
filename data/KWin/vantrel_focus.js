// Loaded into KWin by Vantrel (org.kde.KWin /Scripting loadScript, then started): reports
// each window KWin activates to Vantrel's Focus interface on the session bus, for automatic
// profile switching. The application id is the window's desktop file name (Wayland app
// id), else its resource class (X11 WM_CLASS class, which KWin keeps in lower case), else
// its resource name; the title goes only to Vantrel, which keeps it to match title rules.
// Plasma 6 names the signal windowActivated and the property activeWindow; Plasma 5
// clientActivated and activeClient.
//
// callDBus cannot forbid the bus to start a service, and a call to the name
// org.vantrel.Vantrel1 would start Vantrel again after it ended. So each report first asks
// the bus who owns the name and calls that connection's unique name: a call to a unique
// name never starts anything, and when nobody owns the name the bus answers with an error,
// callDBus runs no callback, and nothing is reported.
(function () {
    "use strict";
    var service = "org.vantrel.Vantrel1";
    var path = "/org/vantrel/Vantrel1";
    var iface = "org.vantrel.Vantrel1.Focus";

    function text(value) {
        return value === undefined || value === null ? "" : String(value);
    }

    function report(window) {
        // No window: the focus on its way to the next one (KWin activates none in
        // between), or the desktop. Nothing to tell.
        if (!window)
            return;
        var appId = text(window.desktopFileName) || text(window.resourceClass) || text(window.resourceName);
        var title = text(window.caption);
        var pid = window.pid > 0 ? Math.floor(window.pid) : 0;
        callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner", service,
            function (owner) {
                // KWin passes a script's number on as an int or a double depending on the
                // release; the method takes either besides the unsigned number its
                // signature names.
                if (owner)
                    callDBus(String(owner), path, iface, "WindowActivated", appId, title, pid);
            });
    }

    if (workspace.windowActivated !== undefined) {
        workspace.windowActivated.connect(report);
        report(workspace.activeWindow);
    } else {
        workspace.clientActivated.connect(report);
        report(workspace.activeClient);
    }
})();
