// Vantrel focus: reports each window that gains the focus to Vantrel's Focus interface on
// the session bus (org.vantrel.Vantrel1.Focus.WindowActivated(s app_id, s title, u pid)),
// for automatic profile switching. GNOME Shell 43/44 (the extension format before ES
// modules). When Vantrel is not running the call fails quietly and nothing else happens.
'use strict';

const { Gio, GLib } = imports.gi;

const SERVICE = 'org.vantrel.Vantrel1';
const PATH = '/org/vantrel/Vantrel1';
const IFACE = 'org.vantrel.Vantrel1.Focus';

function text(value) {
    return value === undefined || value === null ? '' : String(value);
}

// The window's application id: on Wayland its app id (what get_wm_class returns there),
// on X11 its WM_CLASS class; else the GTK or sandbox application id.
function describe(window) {
    if (!window)
        return ['', '', 0];
    const appId = text(window.get_wm_class()) || text(window.get_gtk_application_id()) ||
        text(window.get_sandboxed_app_id());
    const pid = window.get_pid();
    return [appId, text(window.get_title()), pid > 0 ? pid : 0];
}

class VantrelFocus {
    constructor() {
        this._handler = 0;
    }

    _report() {
        // No window has the focus (on its way to the next one): nothing to tell.
        if (!global.display.focus_window)
            return;
        const [appId, title, pid] = describe(global.display.focus_window);
        Gio.DBus.session.call(SERVICE, PATH, IFACE, 'WindowActivated',
            new GLib.Variant('(ssu)', [appId, title, pid]), null,
            Gio.DBusCallFlags.NO_AUTO_START, 1000, null, (connection, result) => {
                try {
                    connection.call_finish(result);
                } catch (e) {
                    // Vantrel is not running: nothing to tell.
                }
            });
    }

    enable() {
        this._handler = global.display.connect('notify::focus-window', () => this._report());
        this._report();
    }

    disable() {
        if (this._handler)
            global.display.disconnect(this._handler);
        this._handler = 0;
    }
}

// eslint-disable-next-line no-unused-vars
function init() {
    return new VantrelFocus();
}
