// Our Shell extension, each build of it, run by Debian's gjs against a small fake Shell. For
// the build for GNOME Shell 45 and later (a module) this is the only run there is, as Debian 12
// has no such Shell: it checks that the module parses, that it imports only Shell modules the
// fake knows (each an existing one), and that it behaves as the build for 43 and 44 (a
// script), which goes through the same checks here and runs in a real Shell in the
// end-to-end test.
//
//   gjs -m fake_shell_test.js <extension.js> <scratch folder>
// on a session bus of its own (dbus-run-session); exits non-zero when a check failed.

import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const [extensionFile, scratch] = ARGV;
const TOKEN = '00112233445566778899aabbccddeeff';
const MONITOR = { x: 0, y: 0, width: 1280, height: 800 };
const WORK_AREA = { x: 0, y: 32, width: 1280, height: 768 };

let failures = 0;
function check(what, ok) {
    print(`${ok ? 'ok' : 'FAILED'}: ${what}`);
    if (!ok)
        failures++;
}

// Signals as GObjects have them, enough for connect/disconnect/emit.
class Emitter {
    constructor() {
        this._handlers = new Map();
        this._nextId = 1;
    }

    connect(signal, handler) {
        this._handlers.set(this._nextId, [signal, handler]);
        return this._nextId++;
    }

    disconnect(id) {
        if (!this._handlers.delete(id))
            throw new Error(`no handler ${id} to disconnect`);
    }

    emit(signal, ...args) {
        for (const [name, handler] of [...this._handlers.values()]) {
            if (name === signal)
                handler(this, ...args);
        }
    }

    get handlerCount() {
        return this._handlers.size;
    }
}

class FakeActor extends Emitter {
    constructor(props = {}) {
        super();
        Object.assign(this, { visible: true, children: [], parent: null }, props);
    }

    hide() {
        this.visible = false;
        this.emit('notify::visible');
    }

    show() {
        this.visible = true;
        this.emit('notify::visible');
    }

    add_child(child) {
        child.parent = this;
        this.children.push(child);
    }

    get_first_child() {
        return this.children[0] ?? null;
    }

    destroy() {
        if (this.parent)
            this.parent.children = this.parent.children.filter(c => c !== this);
        this.parent = null;
    }
}

const Meta = {
    Display: class extends Emitter {
        get_tab_list() {
            return windowActors.map(a => a.meta_window);
        }

        get_monitor_index_for_rect(rect) {
            return Main.layoutManager.monitors.findIndex(m =>
                rect.x >= m.x && rect.y >= m.y && rect.x < m.x + m.width && rect.y < m.y + m.height);
        }

        unset_input_focus() {
            this.focus_window = null;
        }
    },
    WindowClientType: { WAYLAND: 0, X11: 1 },
    WindowType: { NORMAL: 0, DESKTOP: 1 },
    MaximizeFlags: { HORIZONTAL: 1, VERTICAL: 2, BOTH: 3 },
    TabList: { NORMAL: 0, NORMAL_ALL: 3 },
};

class FakeWindow extends Emitter {
    // current: the window API of Shell 49 and later (is_maximized, maximize without flags).
    constructor({ title, wmClass = 'velluma-page', client = Meta.WindowClientType.WAYLAND,
        rect = { x: 100, y: 100, width: 400, height: 300 }, fullscreen = false, current = false }) {
        super();
        Object.assign(this, { title, wmClass, client, rect, fullscreen, minimized: false });
        this.calls = [];
        this.maximizedFlags = 0;
        this.actor = new FakeActor({ meta_window: this });
        if (current) {
            this.is_maximized = () => this.maximizedFlags === Meta.MaximizeFlags.BOTH;
            this.maximize = (...args) => {
                this.calls.push(['maximize', ...args]);
                this.maximizedFlags = Meta.MaximizeFlags.BOTH;
            };
        } else {
            this.get_maximized = () => this.maximizedFlags;
            this.maximize = flags => {
                this.calls.push(['maximize', flags]);
                this.maximizedFlags |= flags;
            };
        }
    }

    get_client_type() { return this.client; }
    get_wm_class() { return this.wmClass; }
    get_title() { return this.title; }
    get_window_type() { return Meta.WindowType.NORMAL; }
    get_frame_rect() { return this.rect; }
    get_compositor_private() { return this.actor; }
    is_fullscreen() { return this.fullscreen; }
    showing_on_its_workspace() { return true; }
    is_on_all_workspaces() { return false; }
    located_on_workspace() { return true; }
    stick() { this.calls.push(['stick']); }
    lower() { this.calls.push(['lower']); }
}

const windowActors = [];
const workspace = {};
const display = new Meta.Display();
display.focus_window = null;
const workspaceManager = new Emitter();
workspaceManager.get_active_workspace = () => workspace;

globalThis.global = {
    display,
    workspace_manager: workspaceManager,
    get_window_actors: () => windowActors,
    get_current_time: () => 0,
};

const layoutManager = new Emitter();
Object.assign(layoutManager, {
    monitors: [MONITOR],
    getWorkAreaForMonitor: () => WORK_AREA,
    _backgroundGroup: new FakeActor(),
});
const Main = {
    layoutManager,
    activateWindow: window => {
        display.focus_window = window;
    },
};

const Shell = {
    AppSystem: class {
        get_running() {
            return [];
        }
    },
    WindowTracker: { get_default: () => ({ get_window_app: () => null }) },
};

// What each import of the extension stands for here; anything else fails the check.
globalThis.fakeShell = {
    Clutter: {
        Actor: class extends FakeActor {},
        Clone: class extends FakeActor {},
    },
    Meta,
    Mtk: {
        Rectangle: class {
            constructor(props) {
                Object.assign(this, props);
            }
        },
    },
    Gio,
    GLib,
    Shell,
    Main,
    Extension: class {
        constructor(metadata) {
            this.metadata = metadata;
        }
    },
    Workspace: { Workspace: class { _isOverviewWindow() { return true; } } },
    WorkspaceAnimation: { WorkspaceGroup: class { _shouldShowWindow() { return true; } } },
    WorkspaceThumbnail: { WorkspaceThumbnail: class { _isOverviewWindow() { return true; } } },
};
const fake = globalThis.fakeShell;
Meta.Rectangle = fake.Mtk.Rectangle;  // before Shell 45
const modules = {
    'gi://Clutter': 'export default fakeShell.Clutter;',
    'gi://Meta': 'export default fakeShell.Meta;',
    'gi://Mtk': 'export default fakeShell.Mtk;',
    'gi://Shell': 'export default fakeShell.Shell;',
    'resource:///org/gnome/shell/extensions/extension.js':
        'export const Extension = fakeShell.Extension;',
    'resource:///org/gnome/shell/ui/main.js':
        'export const { layoutManager, activateWindow } = fakeShell.Main;',
    'resource:///org/gnome/shell/ui/workspace.js':
        'export const { Workspace } = fakeShell.Workspace;',
    'resource:///org/gnome/shell/ui/workspaceAnimation.js':
        'export const { WorkspaceGroup } = fakeShell.WorkspaceAnimation;',
    'resource:///org/gnome/shell/ui/workspaceThumbnail.js':
        'export const { WorkspaceThumbnail } = fakeShell.WorkspaceThumbnail;',
};
const realModules = new Set(['gi://Gio', 'gi://GLib']);

function write(path, text) {
    GLib.file_set_contents(path, new TextEncoder().encode(text));
}

// The script build, as the Shell before 45 runs it: its imports are the Shell's.
function loadScript(text) {
    const imports = {
        gi: fake,
        ui: {
            main: Main,
            workspace: fake.Workspace,
            workspaceAnimation: fake.WorkspaceAnimation,
            workspaceThumbnail: fake.WorkspaceThumbnail,
        },
    };
    // eslint-disable-next-line no-new-func
    const init = new Function('imports', `${text}\nreturn init;`)(imports);
    check('the script hands the Shell its extension through init()', typeof init === 'function');
    return init();
}

// The module build with each Shell import pointed at its stand-in.
async function loadModule(text) {
    const unknown = [];
    let stubs = 0;
    text = text.replace(/(\bfrom\s+)'([^']+)'/g,
        (all, from, specifier) => {
            if (realModules.has(specifier))
                return all;
            if (!(specifier in modules)) {
                unknown.push(specifier);
                return all;
            }
            const file = `${scratch}/stub${stubs++}.js`;
            write(file, modules[specifier]);
            return `${from}'file://${file}'`;
        });
    check(`the extension imports only Shell modules known here (${unknown.join(', ')})`,
        unknown.length === 0);
    write(`${scratch}/extension.js`, text);
    const VellumaBackground = (await import(`file://${scratch}/extension.js`)).default;
    check('its default export is the Shell\'s Extension class',
        VellumaBackground?.prototype instanceof fake.Extension);
    return new VellumaBackground({ uuid: 'velluma45@velluma.example' });
}

function settle() {
    const context = GLib.MainContext.default();
    for (let i = 0; i < 50 && context.pending(); i++)
        context.iteration(false);
}

function waitFor(condition) {
    const until = GLib.get_monotonic_time() + 5000000;
    while (!condition() && GLib.get_monotonic_time() < until)
        GLib.MainContext.default().iteration(true);
    return condition();
}

function claim(extension, token) {
    const answer = {};
    // The module build's Extension holds the object the script build's init() returns.
    (extension._background ?? extension).ClaimAsync([token], {
        get_sender: () => null,
        return_value: value => {
            answer.value = value?.deepUnpack();
        },
        return_dbus_error: name => {
            answer.error = name;
        },
    });
    return answer;
}

const clones = () => layoutManager._backgroundGroup.children.map(frame => frame.get_first_child());
const tabList = () => display.get_tab_list(Meta.TabList.NORMAL, workspace);

// The prototype methods the extension may patch, to see that disabling puts them back.
const patched = () => [
    [Meta.Display.prototype, 'get_tab_list'],
    [Shell.AppSystem.prototype, 'get_running'],
    [fake.Workspace.Workspace.prototype, '_isOverviewWindow'],
    [fake.WorkspaceAnimation.WorkspaceGroup.prototype, '_shouldShowWindow'],
    [fake.WorkspaceThumbnail.WorkspaceThumbnail.prototype, '_isOverviewWindow'],
].map(([owner, name]) => owner[name]);

async function main() {
    const text = new TextDecoder().decode(GLib.file_get_contents(extensionFile)[1]);
    const isModule = /^export default /m.test(text);
    print(`# ${extensionFile}, a ${isModule ? 'module' : 'script'}`);
    const extension = isModule ? await loadModule(text) : loadScript(text);

    const covered = [];
    Gio.DBus.session.signal_subscribe(null, 'example.velluma.ShellBackground',
        'CoveredChanged', '/example/velluma/ShellBackground', null, Gio.DBusSignalFlags.NONE,
        (...args) => covered.push(args[5].deepUnpack()[0]));

    const originals = patched();
    extension.enable();
    check('enabled, it leaves the Shell\'s lists of windows to itself',
        patched().every((method, i) => method !== originals[i]));

    check('a malformed token is refused', claim(extension, 'not-a-token').error ===
        'example.velluma.ShellBackground.Error.BadToken');

    // Windows that ask for the place without the right to it, each an ordinary window.
    const strangers = [
        new FakeWindow({ title: 'velluma-page 0123456789abcdef0123456789abcdef' }),
        new FakeWindow({ title: `velluma-page ${TOKEN}`, wmClass: 'other-program' }),
        new FakeWindow({ title: `velluma-page ${TOKEN}`, client: Meta.WindowClientType.X11 }),
        new FakeWindow({ title: `other ${TOKEN}` }),
    ];
    for (const window of strangers) {
        windowActors.push(window.actor);
        display.emit('window-created', window);
    }
    check('the claim answers whether the desktop is covered',
        JSON.stringify(claim(extension, TOKEN).value) === '[false]');
    check('windows with another token, app id, client or title are left alone',
        clones().length === 0 && strangers.every(w => w.calls.length === 0 && w.actor.visible));

    // Ours, with the window API of each Shell generation.
    // Scripts run only on Shells with the older window API.
    for (const current of isModule ? [false, true] : [false]) {
        const label = current ? 'window API of Shell 49 on' : 'window API before Shell 49';
        const ours = new FakeWindow({ title: 'velluma-page', current });
        windowActors.push(ours.actor);
        display.emit('window-created', ours);
        check(`(${label}) not taken before its title carries the token`, clones().length === 0);
        ours.title = `velluma-page ${TOKEN}`;
        ours.emit('notify::title');
        check(`(${label}) taken once it does: on every workspace, lowered, maximised`,
            JSON.stringify(ours.calls) === JSON.stringify(
                [['stick'], ['lower'], current ? ['maximize'] : ['maximize', 3]]));
        check(`(${label}) its window hidden, one clone of it on the monitor`,
            !ours.actor.visible && clones().length === 1 && clones()[0].source === ours.actor);
        const frame = layoutManager._backgroundGroup.children[0];
        check(`(${label}) the clone spans the work area`, frame.width === MONITOR.width &&
            clones()[0].y === WORK_AREA.y && clones()[0].height === WORK_AREA.height);
        check(`(${label}) absent from the window switcher's list`, !tabList().includes(ours));
        ours.actor.show();
        check(`(${label}) it stays hidden`, !ours.actor.visible);

        // A full-screen window covers the monitor; a maximised one does too.
        const other = new FakeWindow({ title: 'a game', rect: { ...MONITOR }, current });
        other.fullscreen = !current;
        windowActors.push(other.actor);
        display.emit('window-created', other);
        if (current)
            other.maximize();
        other.emit('size-changed');
        check(`(${label}) the tray program hears that the desktop is covered`,
            waitFor(() => covered.at(-1) === true));
        other.emit('unmanaged');
        windowActors.splice(windowActors.indexOf(other.actor), 1);
        check(`(${label}) and that it is not any more`, waitFor(() => covered.at(-1) === false));

        // Disabling lets the window go; the claim holds, and enabling takes it back.
        extension.disable();
        check(`(${label}) disabled: no clone, the window shown, the Shell's lists as they were`,
            clones().length === 0 && ours.actor.visible &&
            patched().every((method, i) => method === originals[i]));
        check(`(${label}) and no handler left on the window`, ours.handlerCount === 0);
        extension.enable();
        settle();
        check(`(${label}) enabled again, the window is back in the background`,
            clones().length === 1 && clones()[0].source === ours.actor && !ours.actor.visible);

        ours.emit('unmanaged');
        windowActors.splice(windowActors.indexOf(ours.actor), 1);
        check(`(${label}) the window gone, nothing of it is left`, clones().length === 0);
    }

    extension.disable();
    check('disabled at last: no handler left on the Shell',
        display.handlerCount === 0 && layoutManager.handlerCount === 0 &&
        workspaceManager.handlerCount === 0 &&
        strangers.every(w => w.handlerCount === 0));
}

let code = 1;
const loop = new GLib.MainLoop(null, false);
main().then(() => {
    code = failures === 0 ? 0 : 1;
}, error => {
    print(`FAILED: ${error}\n${error.stack}`);
}).finally(() => loop.quit());
loop.run();
System.exit(code);
