// Orvel's window list on KWin 5.27: reports every window to one scroll-capture helper over D-Bus
// whenever one opens, closes, moves, is retitled, restacked, activated, minimised or changes
// desktop. The helper loads a copy of this file with HELPER_BUS_NAME replaced by its own unique
// bus name and SCRIPT_NAME by the name it loaded the script under, and unloads it when it ends.
// A helper killed outright cannot: before each report the script asks the bus whether the
// helper's name still has an owner (a unique name is never given out again), and once it has
// none the script stops reporting and has KWin unload it.
var helper = "HELPER_BUS_NAME";
var scriptName = "SCRIPT_NAME";
var ended = false;

function end() {
  if (ended) return;
  ended = true;
  callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", scriptName);
}

function describe(c) {
  var g = c.frameGeometry;
  return {
    id: c.internalId.toString(),
    pid: c.pid,
    caption: c.caption,
    x: g.x,
    y: g.y,
    width: g.width,
    height: g.height,
    stacking: c.stackingOrder,
    active: c.active,
    dock: c.dock,
    desktop: c.desktopWindow,
    notification: !!(c.notification || c.criticalNotification || c.onScreenDisplay),
    popup: !!(c.popupMenu || c.dropdownMenu || c.tooltip || c.comboBox || c.dndIcon ||
              c.popupWindow),
    above: !!c.keepAbove,
    shown: !c.minimized && !c.hidden &&
        (c.onAllDesktops || c.desktop === workspace.currentDesktop)
  };
}

// Ids of windows KWin has removed but may still list for a moment.
var removed = {};
var lastSent = "";

// The windows as KWin has them now.
function snapshot() {
  var windows = [];
  var listed = {};
  var clients = workspace.clientList();
  for (var i = 0; i < clients.length; ++i) {
    var id = clients[i].internalId.toString();
    listed[id] = true;
    if (!removed[id]) windows.push(describe(clients[i]));
  }
  for (var gone in removed)
    if (!listed[gone]) delete removed[gone];
  return JSON.stringify({windows: windows});
}

// KWin runs the answers to its D-Bus calls in no fixed order when it is busy, so the windows are
// described when the answer comes rather than when they changed: whichever answer runs last sends
// the state after the last change, and the helper keeps the last report it gets.
function report() {
  if (ended) return;
  // KWin calls back only on an answer, so the question is one the bus always answers.
  callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
           helper, function(owned) {
             if (!owned) return end();
             if (ended) return;
             var text = snapshot();
             if (text === lastSent) return;
             lastSent = text;
             callDBus(helper, "/org/orvel/KWinWindows", "org.orvel.KWinWindows", "Report", text);
           });
}

function watch(c) {
  var changed = function() { report(); };
  c.frameGeometryChanged.connect(changed);
  c.captionChanged.connect(changed);
  c.stackingOrderChanged.connect(changed);
  c.desktopChanged.connect(changed);
  c.activeChanged.connect(changed);
}

workspace.clientAdded.connect(function(c) {
  watch(c);
  report();
});
workspace.clientRemoved.connect(function(c) {
  removed[c.internalId.toString()] = true;
  report();
});
workspace.clientActivated.connect(function() { report(); });
workspace.clientMinimized.connect(function() { report(); });
workspace.clientUnminimized.connect(function() { report(); });
workspace.currentDesktopChanged.connect(function() { report(); });
var existing = workspace.clientList();
for (var i = 0; i < existing.length; ++i) watch(existing[i]);
report();
