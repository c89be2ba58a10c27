#include "livepage/FrameBudget.h"

#include <algorithm>

namespace velluma::frame_budget {
namespace {

// The engine has no setting for a page's frame rate, so the page's clock is what we hold back:
// animation callbacks wait until their frame is due, and endless CSS and script animations are
// taken off the compositor's display-rate clock and stepped at the budget instead. Finite ones
// (transitions, one-off effects) keep their own clock: their end events must come.
const char kScript[] = R"(
(function (fps) {
    "use strict";
    if (window.__vellumaFrameBudget) {
        window.__vellumaFrameBudget(fps);
        return;
    }
    var interval = 1000 / fps;
    var SLACK = 8;  // half a 60 Hz display frame: a budget of 30 takes every other one
    var nativeRequest = window.requestAnimationFrame.bind(window);
    var callbacks = new Map();
    var nextId = 1;
    var last = -Infinity;
    var pending = false;
    var held = new WeakMap();
    var stepped = [];

    function schedule() {
        if (pending || (callbacks.size === 0 && stepped.length === 0)) return;
        pending = true;
        var wait = last + interval - SLACK - performance.now();
        if (wait > 1) setTimeout(function () { nativeRequest(tick); }, wait);
        else nativeRequest(tick);
    }
    function tick(now) {
        pending = false;
        if (now - last < interval - SLACK) {
            schedule();
            return;
        }
        last = now;
        step();
        var due = callbacks;
        callbacks = new Map();
        due.forEach(function (callback) {
            try {
                callback(now);
            } catch (e) {
                setTimeout(function () { throw e; });
            }
        });
        schedule();
    }
    function step() {
        var time = document.timeline.currentTime;
        stepped = stepped.filter(function (animation) {
            if (animation.playState !== "paused") return false;  // the page took it back
            var clock = held.get(animation);
            animation.currentTime = (time - clock.start) * clock.rate;
            return true;
        });
    }
    // A paused animation no longer holds its element on a layer of its own: each step would
    // then repaint whatever lies under the element, often a screen of it. Asking for the layer
    // in the page's own terms keeps a step as cheap as the compositor's frame was.
    var LAYERED = ["transform", "opacity", "filter", "translate", "rotate", "scale"];
    function keepLayer(effect) {
        var target = effect.target;
        if (!target || !target.style || effect.pseudoElement || !effect.getKeyframes) return;
        var animated = {};
        effect.getKeyframes().forEach(function (keyframe) {
            for (var name in keyframe) animated[name] = true;
        });
        var asked = getComputedStyle(target).willChange;
        var names = asked === "auto" ? [] : asked.split(/\s*,\s*/);
        var more = LAYERED.filter(function (name) {
            return animated[name] && names.indexOf(name) < 0;
        });
        if (more.length) target.style.willChange = names.concat(more).join(", ");
    }
    function adopt() {
        var all = document.getAnimations ? document.getAnimations() : [];
        for (var i = 0; i < all.length; ++i) {
            var animation = all[i];
            if (animation.playState !== "running" || animation.startTime === null ||
                !animation.effect || animation.effect.getComputedTiming().endTime !== Infinity)
                continue;
            held.set(animation, {start: animation.startTime, rate: animation.playbackRate});
            keepLayer(animation.effect);
            animation.pause();
            stepped.push(animation);
        }
        schedule();
    }
    setInterval(adopt, 1000);

    function request(callback) {
        var id = nextId++;
        callbacks.set(id, callback);
        schedule();
        return id;
    }
    function cancel(id) {
        callbacks.delete(id);
    }
    window.requestAnimationFrame = request;
    window.cancelAnimationFrame = cancel;
    if (window.webkitRequestAnimationFrame) window.webkitRequestAnimationFrame = request;
    if (window.webkitCancelAnimationFrame) window.webkitCancelAnimationFrame = cancel;
    Object.defineProperty(window, "__vellumaFrameBudget", {
        value: function (value) {
            interval = 1000 / value;
            for (var i = 0; i < window.frames.length; ++i) {
                try {
                    window.frames[i].__vellumaFrameBudget(value);
                } catch (e) {
                    // a frame of another origin keeps the budget it started with
                }
            }
        }
    });
})(%1);
)";

}  // namespace

int forPower(bool onBattery) {
    return onBattery ? kOnBattery : kDefault;
}

QString script(int fps) {
    return QString::fromLatin1(kScript).arg(std::clamp(fps, 1, 240));
}

}  // namespace velluma::frame_budget
