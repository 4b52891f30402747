// Who may call the extension: Orvel's installed helpers only. A caller's program is
// /proc/PID/exe of the PID the bus names for it; every other caller gets AccessDenied.

const ACCESS_DENIED = 'org.freedesktop.DBus.Error.AccessDenied';

// Whether `pid` runs one of the `allowed` programs.
function isAllowedProcess(allowed, pid) {
  try {
    return allowed.has(GLib.file_read_link(`/proc/${pid}/exe`));
  } catch (e) {
    return false;
  }
}

// Runs `answer` for a caller that is an installed helper while `serving()` holds; refuses every
// other caller with `refusal`.
function whenAllowed(allowed, serving, invocation, refusal, answer) {
  const bus = invocation.get_connection();
  bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
      'GetConnectionUnixProcessID', new GLib.Variant('(s)', [invocation.get_sender()]),
      new GLib.VariantType('(u)'), Gio.DBusCallFlags.NONE, -1, null, (connection, result) => {
        let pid = null;
        try {
          [pid] = connection.call_finish(result).deepUnpack();
        } catch (e) {
          pid = null;
        }
        if (!serving() || pid === null || !isAllowedProcess(allowed, pid)) {
          invocation.return_dbus_error(ACCESS_DENIED, refusal);
          return;
        }
        answer();
      });
}
