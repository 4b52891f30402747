/*
 * libOrvel.Startup: whether the main application (the executable of the process that loaded
 * this library) opens when the user logs in to the desktop session.
 *
 * On Linux the login item is the XDG autostart entry
 *   $XDG_CONFIG_HOME/autostart/<id>.desktop      ($XDG_CONFIG_HOME defaults to ~/.config)
 * where <id> is the executable's file name with every character other than A-Z, a-z, 0-9, '-'
 * and '_' replaced by '_' (so "/opt/Orvel/orvel.bin" owns "orvel_bin.desktop"). No other entry is
 * ever read or written.
 *
 * Status values (returned by both functions):
 *   0  no entry: the application does not open at login.
 *   1  an entry that the session will start.
 *   2  an entry that the user has turned off: Hidden=true, X-GNOME-Autostart-enabled=false (or
 *      the same key of another desktop, such as X-MATE-Autostart-enabled), or OnlyShowIn /
 *      NotShowIn leaving out the current desktop ($XDG_CURRENT_DESKTOP). The application is
 *      registered but waits for the user's approval; registering again keeps the user's choice.
 *   3  the main application cannot be identified (its executable, or the user's configuration
 *      folder, cannot be found).
 *  -1  orvel_startup_set only: the change failed. One line "Orvel startup: <description>" is
 *      written to the system log (syslog).
 *
 * Both functions are synchronous, keep no state between calls and may be called from any thread.
 */
#ifndef ORVEL_STARTUP_H
#define ORVEL_STARTUP_H

#include <stdint.h>

#define ORVEL_STARTUP_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* The current status (0 to 3 above). Never writes to the system log. */
ORVEL_STARTUP_EXPORT int32_t orvel_startup_status(void);

/*
 * A non-zero flag registers the application to open at login; 0 unregisters it. The change is
 * made whatever the current status is. Registering writes the entry (creating the autostart
 * folder when missing) and keeps an entry the user turned off turned off; unregistering removes
 * the entry, and succeeds when there is no entry to remove. Returns the status after the change,
 * or -1 when it failed.
 */
ORVEL_STARTUP_EXPORT int32_t orvel_startup_set(int32_t flag);

#ifdef __cplusplus
}
#endif

#endif /* ORVEL_STARTUP_H */
