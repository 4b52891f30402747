// What the installed helpers' captures need of GNOME Shell itself, exported on the session bus
// beside the window list:
//  - The sharing notice. The shell shows its screen-sharing indicator in the top bar as soon as a
//    screen cast starts, so the first frames of a recording, the region helper's frozen picture,
//    would show an indicator that was not on the screen the user asked to capture. While a helper
//    holds the notice (HoldSharingNotice, until ReleaseSharingNotice, its leaving the bus or
//    HOLD_LIMIT_MS), the screen casts that start are announced to the indicator only when the hold
//    ends: the indicator still shows each of them, for its usual time, a moment later.
//  - The helpers' own windows open and close without the shell's window animation: a frozen screen
//    that zooms in is not frozen, and a press while it zooms misses it.
//
// Shared by both file sets of the extension, as helper-windows.js.

const CAPTURE_PATH = '/org/orvel/Helpers/Capture';
const CAPTURE_XML = `<node>
  <interface name="org.orvel.Helpers.Capture">
    <method name="HoldSharingNotice"/>
    <method name="ReleaseSharingNotice"/>
  </interface>
</node>`;
const CAPTURE_REFUSAL = 'GNOME Shell\'s capture controls are only for the helpers installed with Orvel.';
const HOLD_LIMIT_MS = 2000;

// A screen cast as the indicator sees it, standing in for one announced late: the indicator learns
// of its end even when it ended while held.
function lateHandle(handle) {
  const stoppedCallbacks = [];
  let stopped = false;
  const id = handle.connect('stopped', () => {
    handle.disconnect(id);
    stopped = true;
    for (const callback of stoppedCallbacks.splice(0)) callback();
  });
  return {
    is_recording: handle.is_recording,
    isRecording: handle.isRecording,
    stop: () => handle.stop(),
    connect(signal, callback) {
      if (signal !== 'stopped') return handle.connect(signal, callback);
      if (!stopped) {
        stoppedCallbacks.push(callback);
        return 0;
      }
      GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
        callback();
        return GLib.SOURCE_REMOVE;
      });
      return 0;
    },
  };
}

class HelperCapture {
  constructor(allowedCallers) {
    this._allowed = new Set(allowedCallers);
    this._holds = new Map();  // caller's bus name -> [limit timeout, name watch]
    this._held = [];          // screen casts not announced yet
    this._indicator = null;
    this._announce = null;
    this._windowCreated = 0;
    this._dbus = null;
  }

  enable() {
    // GNOME Shell's indicator hears of every new screen cast through its _onNewHandle; where a
    // shell has none, nothing is held.
    const indicator = Main.panel.statusArea.screenSharing;
    if (indicator && typeof indicator._onNewHandle === 'function') {
      this._indicator = indicator;
      this._announce = indicator._onNewHandle;
      indicator._onNewHandle = handle => this._newHandle(handle);
    }
    this._windowCreated = global.display.connect('window-created',
        (display, window) => this._skipEffects(window));
    this._dbus = Gio.DBusExportedObject.wrapJSObject(CAPTURE_XML, this);
    this._dbus.export(Gio.DBus.session, CAPTURE_PATH);
  }

  disable() {
    if (this._dbus) this._dbus.unexport();
    this._dbus = null;
    for (const caller of [...this._holds.keys()]) this._release(caller);
    if (this._windowCreated) global.display.disconnect(this._windowCreated);
    this._windowCreated = 0;
    if (this._indicator) this._indicator._onNewHandle = this._announce;
    this._indicator = null;
    this._announce = null;
  }

  HoldSharingNoticeAsync(params, invocation) {
    whenAllowed(this._allowed, () => this._dbus !== null, invocation, CAPTURE_REFUSAL, () => {
      const caller = invocation.get_sender();
      this._release(caller, false);
      const limit = GLib.timeout_add(GLib.PRIORITY_DEFAULT, HOLD_LIMIT_MS, () => {
        this._holds.get(caller)[0] = 0;
        this._release(caller);
        return GLib.SOURCE_REMOVE;
      });
      const watch = Gio.bus_watch_name_on_connection(Gio.DBus.session, caller,
          Gio.BusNameWatcherFlags.NONE, null, () => this._release(caller));
      this._holds.set(caller, [limit, watch]);
      invocation.return_value(null);
    });
  }

  ReleaseSharingNoticeAsync(params, invocation) {
    this._release(invocation.get_sender());
    invocation.return_value(null);
  }

  _newHandle(handle) {
    if (this._holds.size > 0) this._held.push(lateHandle(handle));
    else this._announce.call(this._indicator, handle);
  }

  // Ends `caller`'s hold; the last one to end announces what was held, unless `announce` is false.
  _release(caller, announce = true) {
    const hold = this._holds.get(caller);
    if (!hold) return;
    this._holds.delete(caller);
    const [limit, watch] = hold;
    if (limit) GLib.source_remove(limit);
    Gio.bus_unwatch_name(watch);
    if (!announce || this._holds.size > 0 || !this._indicator) return;
    for (const handle of this._held.splice(0)) this._announce.call(this._indicator, handle);
  }

  _skipEffects(window) {
    if (!window || !isAllowedProcess(this._allowed, window.get_pid())) return;
    const actor = window.get_compositor_private();
    if (!actor) return;
    Main.wm.skipNextEffect(actor);
    const id = window.connect('unmanaging', () => {
      window.disconnect(id);
      Main.wm.skipNextEffect(actor);
    });
  }
}
