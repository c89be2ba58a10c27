// Velluma's place in GNOME Shell's background layer: what the extensions for every Shell
// version share. The build puts it into each extension.js, between the imports and helpers
// of that version and the way it hands the Shell the extension.
//
// Wayland has no way for a program to put its window behind the others, so the page program
// opens an ordinary window and this extension shows it where the wallpaper is drawn. Only a
// window that both carries the page program's app id and is titled with the token that the
// tray program handed us (and the page program) over D-Bus is taken, so no other program can
// ask for the place. The window itself stays hidden and out of every window list: what the
// user sees is a clone of it per monitor in the background group, which takes no input.
//
// The extension also tells the tray program when every monitor is covered by maximised or
// full-screen windows, so that the page can pause as it does on X11.

const APP_ID = 'velluma-page';
const TITLE_PREFIX = 'velluma-page ';
const OBJECT_PATH = '/example/velluma/ShellBackground';
const TOKEN_PATTERN = /^[0-9a-f]{32,128}$/;

const INTERFACE = `
<node>
  <interface name="example.velluma.ShellBackground">
    <method name="Claim">
      <arg type="s" direction="in" name="token"/>
      <arg type="b" direction="out" name="covered"/>
    </method>
    <method name="Release"/>
    <signal name="CoveredChanged">
      <arg type="b" name="covered"/>
    </signal>
  </interface>
</node>`;

// A window counts for coverage while it is shown on the current workspace.
function showingHere(window, workspace) {
    return !window.minimized && window.showing_on_its_workspace() &&
        (window.is_on_all_workspaces() || window.located_on_workspace(workspace));
}

function contains(outer, inner) {
    return outer.x <= inner.x && outer.y <= inner.y &&
        outer.x + outer.width >= inner.x + inner.width &&
        outer.y + outer.height >= inner.y + inner.height;
}

// Every monitor is taken by a full-screen window that spans it, or by a maximised window whose
// centre lies on it (a maximised window leaves the top bar free, so area does not tell).
function everyMonitorCovered(windows, monitors) {
    if (monitors.length === 0)
        return false;
    return monitors.every((monitor, index) => windows.some(window => {
        const rect = window.get_frame_rect();
        if (window.is_fullscreen())
            return contains(rect, monitor);
        if (!isMaximized(window))
            return false;
        return monitorIndexAt(rect.x + Math.floor(rect.width / 2),
            rect.y + Math.floor(rect.height / 2)) === index;
    }));
}

class ShellBackground {
    constructor() {
        this._token = null;
        this._claimant = null;
        this._claimantWatch = 0;
        this._window = null;
        this._actor = null;
        this._windowSignals = [];
        this._actorSignals = [];
        this._clones = [];
        this._watched = new Map();  // window -> its signal ids, for coverage
        this._covered = false;
        this._recomputeId = 0;
        this._patches = [];
        this._signals = [];
    }

    enable() {
        this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._dbus.export(Gio.DBus.session, OBJECT_PATH);

        this._connect(global.display, 'window-created', (_display, window) => {
            this._watch(window);
            this._consider(window);
        });
        this._connect(global.display, 'notify::focus-window', () => this._giveUpFocus());
        this._connect(global.display, 'restacked', () => this._queueRecompute());
        this._connect(global.workspace_manager, 'active-workspace-changed',
            () => this._queueRecompute());
        this._connect(Main.layoutManager, 'monitors-changed', () => {
            this._showClones();
            this._queueRecompute();
        });
        this._connect(global.display, 'workareas-changed', () => this._showClones());
        // A claim made before the extension was last disabled still holds.
        for (const actor of global.get_window_actors()) {
            this._watch(actor.meta_window);
            this._consider(actor.meta_window);
        }

        this._hideFromLists();
        this._recompute();
    }

    // The claim outlives a disabling (the Shell disables and enables extensions around its
    // lock screen): the window is let go meanwhile, and taken again when enabled.
    disable() {
        this._drop();
        for (const [object, id] of this._signals)
            object.disconnect(id);
        this._signals = [];
        for (const window of [...this._watched.keys()])
            this._unwatch(window);
        if (this._recomputeId) {
            GLib.source_remove(this._recomputeId);
            this._recomputeId = 0;
        }
        for (const [owner, name, original] of this._patches)
            owner[name] = original;
        this._patches = [];
        this._dbus.unexport();
        this._dbus = null;
    }

    // D-Bus: the tray program names the token of its page program. The claim lasts while the
    // caller stays on the bus; a new claim replaces the old one.
    ClaimAsync([token], invocation) {
        if (!TOKEN_PATTERN.test(token)) {
            invocation.return_dbus_error('example.velluma.ShellBackground.Error.BadToken',
                'The token must be 32 to 128 lower-case hexadecimal digits');
            return;
        }
        this._release();
        this._token = token;
        this._claimant = invocation.get_sender();
        if (this._claimant) {
            this._claimantWatch = Gio.bus_watch_name_on_connection(Gio.DBus.session,
                this._claimant, Gio.BusNameWatcherFlags.NONE, null, () => this._release());
        }
        for (const actor of global.get_window_actors())
            this._consider(actor.meta_window);
        invocation.return_value(new GLib.Variant('(b)', [this._covered]));
    }

    ReleaseAsync(_params, invocation) {
        if (invocation.get_sender() === this._claimant)
            this._release();
        invocation.return_value(null);
    }

    _connect(object, signal, handler) {
        this._signals.push([object, object.connect(signal, handler)]);
    }

    _isOurs(window) {
        return window !== null && window === this._window;
    }

    _matches(window) {
        return this._token !== null &&
            window.get_client_type() === Meta.WindowClientType.WAYLAND &&
            window.get_wm_class() === APP_ID &&
            window.get_title() === TITLE_PREFIX + this._token;
    }

    // Takes the window once it matches; its title and app id may come after it is created.
    _consider(window) {
        if (this._window || !this._matches(window))
            return;
        this._adopt(window);
    }

    _adopt(window) {
        this._window = window;
        const on = (signal, handler) => this._windowSignals.push(window.connect(signal, handler));
        on('unmanaged', () => this._drop({ gone: true }));
        on('notify::title', () => {
            if (!this._matches(window))
                this._drop();
        });
        // On every workspace, so that switching never hides it, and at the bottom of the stack.
        // Maximised, it is as large as the work area, the part of the screen the top bar
        // leaves free (the Shell keeps a window out from under its panel).
        window.stick();
        window.lower();
        maximize(window);

        const actor = window.get_compositor_private();
        if (!actor) {
            on('shown', () => {
                if (!this._actor)
                    this._show(window.get_compositor_private());
            });
            return;
        }
        this._show(actor);
    }

    _show(actor) {
        if (!actor)
            return;
        this._actor = actor;
        // Hidden, it takes no pointer input; the clones still draw it.
        this._actorSignals.push(actor.connect('notify::visible', () => {
            if (actor.visible)
                actor.hide();
        }));
        actor.hide();
        this._showClones();
        this._giveUpFocus();
        this._queueRecompute();
    }

    // Lets the window go: the clones leave, and a window still there is shown as it is.
    _drop({ gone = false } = {}) {
        const window = this._window;
        if (!window)
            return;
        this._removeClones();
        for (const id of this._actorSignals)
            this._actor.disconnect(id);
        for (const id of this._windowSignals)
            window.disconnect(id);
        this._actorSignals = [];
        this._windowSignals = [];
        this._window = null;
        if (this._actor && !gone)
            this._actor.show();
        this._actor = null;
    }

    _release() {
        this._drop();
        if (this._claimantWatch) {
            Gio.bus_unwatch_name(this._claimantWatch);
            this._claimantWatch = 0;
        }
        this._claimant = null;
        this._token = null;
    }

    // The window spread over the work areas of all monitors, one clone per monitor showing
    // that monitor's part, above the wallpaper and below every window and the desktop icons.
    // With one monitor the window is as large as its work area and shows unscaled.
    _showClones() {
        this._removeClones();
        if (!this._actor)
            return;
        const layout = Main.layoutManager;
        const areas = layout.monitors.map((_monitor, index) => layout.getWorkAreaForMonitor(index));
        if (areas.length === 0)
            return;
        const left = Math.min(...areas.map(a => a.x));
        const top = Math.min(...areas.map(a => a.y));
        const right = Math.max(...areas.map(a => a.x + a.width));
        const bottom = Math.max(...areas.map(a => a.y + a.height));
        for (const monitor of layout.monitors) {
            const frame = new Clutter.Actor({
                x: monitor.x, y: monitor.y, width: monitor.width, height: monitor.height,
                clip_to_allocation: true, reactive: false,
            });
            frame.add_child(new Clutter.Clone({
                source: this._actor, reactive: false,
                x: left - monitor.x, y: top - monitor.y,
                width: right - left, height: bottom - top,
            }));
            layout._backgroundGroup.add_child(frame);
            this._clones.push(frame);
        }
    }

    _removeClones() {
        for (const frame of this._clones)
            frame.destroy();
        this._clones = [];
    }

    // A new window gets the focus; the background never keeps it.
    _giveUpFocus() {
        if (!this._isOurs(global.display.focus_window))
            return;
        const time = global.get_current_time();
        const others = global.display.get_tab_list(Meta.TabList.NORMAL,
            global.workspace_manager.get_active_workspace()).filter(w => !this._isOurs(w));
        if (others.length > 0)
            Main.activateWindow(others[0], time);
        else
            global.display.unset_input_focus(time);
    }

    // The Shell's window lists (window and application switchers, overview, dash, the
    // workspace switch animation) are made in JavaScript through these; ours is left out.
    _hideFromLists() {
        const self = this;
        // A list whose maker a Shell version lacks or renamed is left as it is.
        const patch = (owner, name, wrap) => {
            const original = owner?.[name];
            if (typeof original !== 'function')
                return;
            this._patches.push([owner, name, original]);
            owner[name] = wrap(original);
        };
        patch(Meta.Display.prototype, 'get_tab_list', original => function (...args) {
            return original.apply(this, args).filter(w => !self._isOurs(w));
        });
        patch(WorkspaceAnimation.WorkspaceGroup?.prototype, '_shouldShowWindow',
            original => function (window) {
                return !self._isOurs(window) && original.call(this, window);
            });
        patch(Workspace.Workspace?.prototype, '_isOverviewWindow',
            original => function (window) {
                return !self._isOurs(window) && original.call(this, window);
            });
        patch(WorkspaceThumbnail.WorkspaceThumbnail?.prototype, '_isOverviewWindow',
            original => function (window) {
                return !self._isOurs(window.get_meta_window()) && original.call(this, window);
            });
        const tracker = Shell.WindowTracker.get_default();
        patch(Shell.AppSystem.prototype, 'get_running', original => function () {
            return original.call(this).filter(app =>
                !self._window || app !== tracker.get_window_app(self._window) ||
                app.get_windows().some(w => !self._isOurs(w)));
        });
    }

    _watch(window) {
        if (!window || this._watched.has(window))
            return;
        const ids = ['notify::minimized', 'notify::maximized-horizontally',
            'notify::maximized-vertically', 'notify::fullscreen', 'position-changed',
            'size-changed', 'workspace-changed'].map(signal =>
            window.connect(signal, () => this._queueRecompute()));
        ids.push(window.connect('notify::title', () => this._consider(window)));
        ids.push(window.connect('notify::wm-class', () => this._consider(window)));
        ids.push(window.connect('unmanaged', () => {
            this._unwatch(window);
            this._queueRecompute();
        }));
        this._watched.set(window, ids);
    }

    _unwatch(window) {
        for (const id of this._watched.get(window) ?? [])
            window.disconnect(id);
        this._watched.delete(window);
    }

    _queueRecompute() {
        if (this._recomputeId)
            return;
        this._recomputeId = GLib.idle_add(GLib.PRIORITY_DEFAULT_IDLE, () => {
            this._recomputeId = 0;
            this._recompute();
            return GLib.SOURCE_REMOVE;
        });
    }

    _recompute() {
        const workspace = global.workspace_manager.get_active_workspace();
        const windows = [...this._watched.keys()].filter(w =>
            !this._isOurs(w) && w.get_window_type() === Meta.WindowType.NORMAL &&
            showingHere(w, workspace));
        const covered = everyMonitorCovered(windows, Main.layoutManager.monitors);
        if (covered === this._covered)
            return;
        this._covered = covered;
        this._dbus?.emit_signal('CoveredChanged', new GLib.Variant('(b)', [covered]));
    }
}
