// GNOME Shell's windows for Orvel's installed helpers: the list (owner, frame in the shell's
// logical pixels, title, stacking, kind, focus, the top bar as a dock), a change signal and
// activation, exported on the session bus under the extension's own name. Titles and places of
// windows are private, as the shell itself keeps them: a caller whose program (/proc/PID/exe,
// PID from the bus) is not one of the installed helpers gets AccessDenied. The change signal
// carries nothing, so every listener learns only that something changed.
//
// Shared by both file sets of the extension (GNOME Shell 43-44 and 45 on), which supply Gio, GLib,
// Meta, Main and ALLOWED_CALLERS, and follow helper-access.js.

const BUS_NAME = 'org.orvel.Helpers';
const OBJECT_PATH = '/org/orvel/Helpers/Windows';
const INTERFACE_XML = `<node>
  <interface name="org.orvel.Helpers.Windows">
    <method name="GetWindows"><arg name="report" type="s" direction="out"/></method>
    <method name="Activate"><arg name="id" type="s" direction="in"/></method>
    <signal name="WindowsChanged"/>
  </interface>
</node>`;
const TOP_BAR_ID = 'top-bar';
const REFUSAL = 'GNOME Shell\'s window list is only for the helpers installed with Orvel.';

function describeWindow(window, stacking, focus, workspace) {
  const frame = window.get_frame_rect();
  const type = window.get_window_type();
  const T = Meta.WindowType;
  return {
    id: String(window.get_id()),
    pid: window.get_pid(),
    caption: window.get_title() || '',
    x: frame.x,
    y: frame.y,
    width: frame.width,
    height: frame.height,
    stacking,
    active: window === focus,
    dock: type === T.DOCK,
    desktop: type === T.DESKTOP,
    notification: type === T.NOTIFICATION,
    popup: [T.MENU, T.DROPDOWN_MENU, T.POPUP_MENU, T.TOOLTIP, T.COMBO, T.DND].includes(type),
    above: window.is_above(),
    shown: !window.minimized &&
        (window.is_on_all_workspaces() || window.get_workspace() === workspace),
  };
}

class HelperWindows {
  constructor(allowedCallers) {
    this._allowed = new Set(allowedCallers);
    this._shellPid = new Gio.Credentials().get_unix_pid();
    this._signals = [];
    this._windowSignals = new Map();
    this._changeSource = 0;
    this._dbus = null;
    this._nameId = 0;
  }

  enable() {
    this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, this);
    this._dbus.export(Gio.DBus.session, OBJECT_PATH);
    this._nameId = Gio.bus_own_name_on_connection(
        Gio.DBus.session, BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
    const changed = () => this._changed();
    this._connect(global.display, 'window-created', (display, window) => {
      this._watch(window);
      this._changed();
    });
    this._connect(global.display, 'notify::focus-window', changed);
    this._connect(global.display, 'restacked', changed);
    this._connect(global.workspace_manager, 'active-workspace-changed', changed);
    this._connect(Main.layoutManager, 'monitors-changed', changed);
    this._connect(Main.layoutManager.panelBox, 'notify::visible', changed);
    this._connect(Main.layoutManager.panelBox, 'notify::allocation', changed);
    for (const actor of global.get_window_actors()) this._watch(actor.meta_window);
  }

  disable() {
    if (this._changeSource) GLib.source_remove(this._changeSource);
    this._changeSource = 0;
    for (const [object, id] of this._signals) object.disconnect(id);
    this._signals = [];
    for (const window of [...this._windowSignals.keys()]) this._unwatch(window);
    if (this._nameId) Gio.bus_unown_name(this._nameId);
    this._nameId = 0;
    if (this._dbus) this._dbus.unexport();
    this._dbus = null;
  }

  GetWindowsAsync(params, invocation) {
    whenAllowed(this._allowed, () => this._dbus !== null, invocation, REFUSAL, () => {
      invocation.return_value(new GLib.Variant('(s)', [this._report()]));
    });
  }

  ActivateAsync([id], invocation) {
    whenAllowed(this._allowed, () => this._dbus !== null, invocation, REFUSAL, () => {
      const window = this._windows().find(w => String(w.get_id()) === id);
      if (window) Main.activateWindow(window);
      invocation.return_value(null);
    });
  }

  _windows() {
    return global.get_window_actors().map(actor => actor.meta_window).filter(w => w);
  }

  _report() {
    const windows = global.display.sort_windows_by_stacking(this._windows());
    const focus = global.display.focus_window;
    const workspace = global.workspace_manager.get_active_workspace();
    const list = windows.map((w, index) => describeWindow(w, index, focus, workspace));
    const topBar = this._topBar(windows.length);
    if (topBar) list.push(topBar);
    return JSON.stringify({windows: list});
  }

  // The top bar is no window of mutter's: reported as a dock of the shell's, above the windows.
  _topBar(stacking) {
    const box = Main.layoutManager.panelBox;
    if (!box || !box.visible || !box.mapped) return null;
    const [x, y] = box.get_transformed_position();
    const [width, height] = box.get_transformed_size();
    return {
      id: TOP_BAR_ID,
      pid: this._shellPid,
      caption: '',
      x, y, width, height, stacking,
      dock: true,
    };
  }

  _connect(object, signal, handler) {
    this._signals.push([object, object.connect(signal, handler)]);
  }

  _watch(window) {
    if (!window || this._windowSignals.has(window)) return;
    const changed = () => this._changed();
    const ids = ['position-changed', 'size-changed', 'workspace-changed', 'notify::title',
      'notify::minimized', 'notify::above'].map(signal => window.connect(signal, changed));
    ids.push(window.connect('unmanaged', () => {
      this._unwatch(window);
      this._changed();
    }));
    this._windowSignals.set(window, ids);
  }

  _unwatch(window) {
    for (const id of this._windowSignals.get(window) || []) window.disconnect(id);
    this._windowSignals.delete(window);
  }

  // One signal for the changes of one turn of the shell's loop: a window being dragged moves on
  // every frame.
  _changed() {
    if (this._changeSource || !this._dbus) return;
    this._changeSource = GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
      this._changeSource = 0;
      if (this._dbus) this._dbus.emit_signal('WindowsChanged', null);
      return GLib.SOURCE_REMOVE;
    });
  }
}
