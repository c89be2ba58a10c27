// Aurora Veil: curtains of northern light over a mountain ridge.
// The sky, the stars and the ridge are drawn once per size; each frame only lays the
// light (at half resolution, it is soft anyway) and a few twinkling stars over them.
// The light is summed into pixels here rather than drawn as thousands of thin images: each
// drawn image costs a software renderer far more than the few pixels it covers. Likewise it
// is widened to the screen's width here: a software renderer scales an image smoothly at
// some thirty times the cost of copying it, so only a plain doubling of rows is left to it.
(function () {
    "use strict";

    var canvas = document.getElementById("sky");
    var ctx = canvas.getContext("2d");

    var FRAME_MS = 1000 / 30;  // a wallpaper needs no more, and the machine has other work
    var LIGHT_SCALE = 0.5;     // the light's sums and rows against CSS pixels
    var COLUMN = 2;            // light column width in pixels of the sums
    var CHUNK = 32;            // rows of the light widened and handed over at a time

    var width = 0, height = 0, ratio = 1;
    var backdrop = null, ridge = null, ridgeTop = 0;
    // The light is summed at half resolution into sums (red, green, blue and an unused
    // fourth byte a pixel, premultiplied), then widened, a chunk of rows at a time, into the
    // layer that is drawn: as wide as the screen, half as high, opaque; black adds nothing.
    var sumWidth = 0, sums = null, light = null, lightCtx = null, chunk = null;
    // For each column of the layer, the two columns of the sums it lies between and the
    // weight of the second in eighths, as smooth scaling would take them. A pixel's four
    // bytes are blended as one word, two bytes at a time, each in a 16-bit lane.
    var leftColumn = null, rightColumn = null, rightEighths = null;
    var sumWords = null, lightWords = null;
    var OPAQUE = new Uint32Array(new Uint8Array([0, 0, 0, 255]).buffer)[0];
    // The rows of the light layer that hold any light; none: from its height to 0.
    var litTop = 0, litEnd = 0;
    var twinklers = [];
    var last = 0;

    // The same stars and mountains at every start: a small seeded generator.
    function seeded(seed) {
        return function () {
            seed |= 0;
            seed = (seed + 0x6d2b79f5) | 0;
            var t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
            t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
            return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
        };
    }

    function layer(w, h) {
        var c = document.createElement("canvas");
        c.width = Math.max(1, Math.round(w));
        c.height = Math.max(1, Math.round(h));
        return c;
    }

    // A vertical strip of light: a sharp bright hem at the bottom that fades upwards into
    // a cooler colour. Drawn stretched, once per column.
    function curtain(hem, body, crown) {
        var c = layer(1, 256);
        var g = c.getContext("2d");
        var grad = g.createLinearGradient(0, 256, 0, 0);
        grad.addColorStop(0.0, "rgba(" + hem + ",0)");
        grad.addColorStop(0.04, "rgba(" + hem + ",0.95)");
        grad.addColorStop(0.12, "rgba(" + hem + ",0.75)");
        grad.addColorStop(0.4, "rgba(" + body + ",0.35)");
        grad.addColorStop(0.75, "rgba(" + crown + ",0.14)");
        grad.addColorStop(1.0, "rgba(" + crown + ",0)");
        g.fillStyle = grad;
        g.fillRect(0, 0, 1, 256);
        return c;
    }

    // The faint glow a curtain casts on the sky below its hem, so the hem never reads as
    // the edge of something solid.
    function halo(colour) {
        var c = layer(1, 64);
        var g = c.getContext("2d");
        var grad = g.createLinearGradient(0, 0, 0, 64);
        grad.addColorStop(0, "rgba(" + colour + ",0.3)");
        grad.addColorStop(0.35, "rgba(" + colour + ",0.1)");
        grad.addColorStop(1, "rgba(" + colour + ",0)");
        g.fillStyle = grad;
        g.fillRect(0, 0, 1, 64);
        return c;
    }

    // A strip's pixels, premultiplied (0 to 255), top to bottom.
    function strip(sprite) {
        var d = sprite.getContext("2d").getImageData(0, 0, 1, sprite.height).data;
        var out = new Float32Array(d.length);
        for (var i = 0; i < d.length; i += 4) {
            var a = d[i + 3] / 255;
            out[i] = d[i] * a;
            out[i + 1] = d[i + 1] * a;
            out[i + 2] = d[i + 2] * a;
            out[i + 3] = d[i + 3];
        }
        return out;
    }

    var curtains = [
        {sprite: curtain("150,255,190", "60,220,150", "90,120,255"), glow: halo("80,230,170"),
         base: 0.50, reach: 0.36,
         speed: 0.05, phase: 0.0, strength: 0.85},
        {sprite: curtain("120,255,220", "40,200,190", "150,90,255"), glow: halo("60,210,200"),
         base: 0.40, reach: 0.30,
         speed: -0.035, phase: 2.1, strength: 0.6},
        {sprite: curtain("255,150,230", "170,110,255", "90,60,200"), glow: halo("170,110,240"),
         base: 0.30, reach: 0.22,
         speed: 0.025, phase: 4.4, strength: 0.38}
    ];

    curtains.forEach(function (cu) {
        cu.sprite = strip(cu.sprite);
        cu.glow = strip(cu.glow);
    });

    function drawBackdrop() {
        backdrop = layer(width * ratio, height * ratio);
        var g = backdrop.getContext("2d");
        g.scale(ratio, ratio);
        var sky = g.createLinearGradient(0, 0, 0, height);
        sky.addColorStop(0, "#01030a");
        sky.addColorStop(0.45, "#04101f");
        sky.addColorStop(0.8, "#0a2233");
        sky.addColorStop(1, "#10303a");
        g.fillStyle = sky;
        g.fillRect(0, 0, width, height);

        var random = seeded(7);
        var count = Math.round(width * height / 2200);
        twinklers = [];
        for (var i = 0; i < count; i++) {
            var x = random() * width;
            var y = Math.pow(random(), 1.4) * height * 0.85;
            var size = 0.3 + Math.pow(random(), 3) * 1.2;
            var alpha = (0.25 + random() * 0.65) * (1 - y / height);
            g.fillStyle = "rgba(" + (215 + Math.round(random() * 40)) + ",230,255," +
                alpha.toFixed(3) + ")";
            g.beginPath();
            g.arc(x, y, size, 0, Math.PI * 2);
            g.fill();
            if (size > 0.9 && twinklers.length < 90)
                twinklers.push({x: x, y: y, size: size * 1.6, phase: random() * 6.283,
                                rate: 0.6 + random() * 1.6});
        }
    }

    // Two ridges: a hazy far one, and a near one in black with a fringe of spruces, so the
    // light stands behind them. Their layer only spans the band they reach up into (in
    // device pixels, so it lands on whole pixels): a full screen of it would mostly hold
    // nothing.
    function drawRidge() {
        var TALLEST = 0.07;  // of the height, the tallest spruce
        function skyline(seed, top, rough) {
            var random = seeded(seed);
            var points = [0.5, 0.5];
            for (var level = 0; level < 7; level++) {
                var next = [];
                var spread = rough * Math.pow(0.55, level);
                for (var i = 0; i < points.length - 1; i++) {
                    next.push(points[i]);
                    next.push((points[i] + points[i + 1]) / 2 + (random() - 0.5) * spread);
                }
                next.push(points[points.length - 1]);
                points = next;
            }
            var line = [];
            for (var j = 0; j < points.length; j++)
                line.push(height - height * (top - 0.5 + points[j]));
            return line;
        }
        var far = skyline(11, 0.26, 0.5);
        var near = skyline(23, 0.12, 0.3);
        var highest = Math.min(Math.min.apply(null, far),
                               Math.min.apply(null, near) - height * TALLEST);
        ridgeTop = Math.max(0, Math.floor(highest * ratio) - 2);
        ridge = layer(width * ratio, height * ratio - ridgeTop);
        var g = ridge.getContext("2d");
        g.scale(ratio, ratio);
        g.translate(0, -ridgeTop / ratio);
        function mountains(line, colour) {
            g.beginPath();
            g.moveTo(0, height);
            for (var k = 0; k < line.length; k++)
                g.lineTo(k / (line.length - 1) * width, line[k]);
            g.lineTo(width, height);
            g.closePath();
            g.fillStyle = colour;
            g.fill();
        }
        function spruce(x, y, tall) {
            var tiers = 5;
            g.beginPath();
            g.moveTo(x, y - tall);
            for (var i = 1; i <= tiers; i++) {
                var spread = tall * 0.2 * i / tiers + tall * 0.03;
                var at = y - tall + tall * 0.92 * i / tiers;
                g.lineTo(x + spread, at);
                g.lineTo(x + spread * 0.35, at - tall * 0.05);
            }
            g.lineTo(x + tall * 0.03, y + 2);
            g.lineTo(x - tall * 0.03, y + 2);
            for (var k = tiers; k >= 1; k--) {
                var s2 = tall * 0.2 * k / tiers + tall * 0.03;
                var at2 = y - tall + tall * 0.92 * k / tiers;
                g.lineTo(x - s2 * 0.35, at2 - tall * 0.05);
                g.lineTo(x - s2, at2);
            }
            g.closePath();
            g.fill();
        }
        var haze = g.createLinearGradient(0, height * 0.62, 0, height);
        haze.addColorStop(0, "rgba(9,27,40,0.96)");
        haze.addColorStop(1, "rgba(4,10,18,1)");
        mountains(far, haze);
        mountains(near, "#02060b");
        var random = seeded(31);
        for (var x = 0; x < width; x += 4 + random() * 26) {
            var at = Math.min(near.length - 1, Math.round(x / width * (near.length - 1)));
            spruce(x, near[at] + 3, height * (0.025 + random() * (TALLEST - 0.025)));
        }
    }

    function resize() {
        width = window.innerWidth || 1;
        height = window.innerHeight || 1;
        ratio = Math.min(window.devicePixelRatio || 1, 2);
        canvas.width = Math.round(width * ratio);
        canvas.height = Math.round(height * ratio);
        drawBackdrop();
        drawRidge();
        prepareLight();
        last = 0;
    }

    // The sums, the layer they are widened into, and the columns each column of the layer
    // is widened from, for the current size; no light yet.
    function prepareLight() {
        light = layer(canvas.width, height * LIGHT_SCALE);
        lightCtx = light.getContext("2d");
        chunk = lightCtx.createImageData(light.width, Math.min(CHUNK, light.height));
        sumWidth = Math.max(1, Math.round(width * LIGHT_SCALE));
        sums = new Uint8ClampedArray(sumWidth * light.height * 4);
        sumWords = new Uint32Array(sums.buffer);
        lightWords = new Uint32Array(chunk.data.buffer);
        leftColumn = new Int32Array(light.width);
        rightColumn = new Int32Array(light.width);
        rightEighths = new Int32Array(light.width);
        for (var x = 0; x < light.width; x++) {
            var u = (x + 0.5) * sumWidth / light.width - 0.5;
            var k = Math.floor(u);
            leftColumn[x] = Math.max(0, Math.min(sumWidth - 1, k));
            rightColumn[x] = Math.max(0, Math.min(sumWidth - 1, k + 1));
            rightEighths[x] = Math.round((u - k) * 8);
        }
        litTop = light.height;
        litEnd = 0;
    }

    // The rows from top to end of the sums, widened into the chunk's pixels. The sums' unused
    // fourth byte is 0, so it leaves room for the layer's opacity.
    function widen(top, end) {
        var w = light.width;
        for (var y = top; y < end; y++) {
            var row = y * sumWidth;
            for (var x = 0, o = (y - top) * w; x < w; x++, o++) {
                var a = sumWords[row + leftColumn[x]], b = sumWords[row + rightColumn[x]];
                var q = rightEighths[x], p = 8 - q;
                var even = ((a & 0xff00ff) * p + (b & 0xff00ff) * q + 0x40004) >>> 3;
                var odd = (((a >>> 8) & 0xff00ff) * p + ((b >>> 8) & 0xff00ff) * q + 0x40004) >>> 3;
                lightWords[o] = (even & 0xff00ff) | ((odd & 0xff00ff) << 8) | OPAQUE;
            }
        }
    }

    // Adds a strip, stretched over the rows from top to top + tall (sampled between its
    // pixels, the rows at its ends as far as it covers them), to the columns x to x + COLUMN,
    // at the given opacity; the sums saturate as light added by "lighter" does. Only the
    // colour is summed: over an opaque sky, light adds its premultiplied colour and nothing
    // else.
    function addStrip(px, w, h, x, values, top, tall, alpha) {
        var n = values.length / 4;
        var first = Math.max(0, Math.floor(top));
        var end = Math.min(h, Math.ceil(top + tall));
        var right = Math.min(w, x + COLUMN + 1);
        var scale = n / tall;
        if (first < end) {
            litTop = Math.min(litTop, first);
            litEnd = Math.max(litEnd, end);
        }
        for (var y = first; y < end; y++) {
            var cover = Math.min(y + 1, top + tall) - Math.max(y, top);
            var s = (y + 0.5 - top) * scale - 0.5;
            var j = Math.floor(s), f = s - j;
            var j0 = Math.max(0, Math.min(n - 1, j)) * 4;
            var j1 = Math.max(0, Math.min(n - 1, j + 1)) * 4;
            var k = alpha * cover;
            var r = (values[j0] + (values[j1] - values[j0]) * f) * k;
            var g = (values[j0 + 1] + (values[j1 + 1] - values[j0 + 1]) * f) * k;
            var b = (values[j0 + 2] + (values[j1 + 2] - values[j0 + 2]) * f) * k;
            for (var i = (y * w + x) * 4, e = (y * w + right) * 4; i < e; i += 4) {
                px[i] += r;
                px[i + 1] += g;
                px[i + 2] += b;
            }
        }
    }

    // Only the band of rows the light reaches is cleared, filled, widened and handed to the
    // canvas: the rest of the layer stays black and costs nothing.
    function drawLight(t) {
        var w = sumWidth, h = light.height;
        var px = sums;
        var wasTop = litTop, wasEnd = litEnd;
        px.fill(0, wasTop * w * 4, wasEnd * w * 4);
        litTop = h;
        litEnd = 0;
        for (var c = 0; c < curtains.length; c++) {
            var cu = curtains[c];
            var drift = t * cu.speed;
            for (var x = 0; x < w; x += COLUMN) {
                var u = x / w;
                // The hem sways in long slow folds with small ripples running along it.
                var fold = Math.sin(u * 5.1 + drift * 6 + cu.phase) * 0.07 +
                           Math.sin(u * 11.3 - t * 0.21 + cu.phase * 2) * 0.025 +
                           Math.sin(u * 27.0 + t * 0.5) * 0.006;
                var hem = h * (cu.base + fold + 0.08 * u);
                var reach = h * cu.reach * (0.75 + 0.25 * Math.sin(u * 7.7 - t * 0.17 + cu.phase));
                // Brightness: broad patches that drift and leave gaps between them, and fine
                // uneven rays that shimmer.
                var patch = 0.5 + 0.5 * Math.sin(u * 8.2 - drift * 9 + cu.phase);
                patch *= 0.7 + 0.3 * Math.sin(u * 2.9 + t * 0.09 + cu.phase * 1.7);
                patch = Math.max(0, patch * 1.2 - 0.1);
                var rays = 0.7 + 0.18 * Math.sin(u * 173 + 3 * Math.sin(t * 0.31 + u * 9)) +
                           0.12 * Math.sin(u * 61 - t * 0.23 + cu.phase);
                var a = cu.strength * patch * patch * patch * rays * 1.6;
                if (a < 0.002) continue;
                // Faint parts are short too: the light's edge then follows a curve, not a
                // column, where it meets the dark.
                var body = Math.min(1, a * 3);
                reach *= 0.25 + 0.75 * body;
                var alpha = Math.min(1, a);
                addStrip(px, w, h, x, cu.sprite, hem - reach, reach * 1.06, alpha);
                addStrip(px, w, h, x, cu.glow, hem - h * 0.01, h * 0.16, alpha);
            }
        }
        // What was lit before and is dark now must be put back dark too.
        var top = Math.min(wasTop, litTop), end = Math.max(wasEnd, litEnd);
        for (var from = top; from < end; from += CHUNK) {
            var to = Math.min(end, from + CHUNK);
            widen(from, to);
            lightCtx.putImageData(chunk, 0, from, 0, 0, light.width, to - from);
        }
    }

    function frame(now) {
        requestAnimationFrame(frame);
        if (last && now - last < FRAME_MS - 2) return;
        last = now;
        var t = now / 1000;

        drawLight(t);
        ctx.setTransform(1, 0, 0, 1, 0, 0);
        ctx.globalCompositeOperation = "source-over";
        ctx.globalAlpha = 1;
        ctx.drawImage(backdrop, 0, 0);

        ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
        for (var i = 0; i < twinklers.length; i++) {
            var s = twinklers[i];
            var k = 0.5 + 0.5 * Math.sin(t * s.rate + s.phase);
            ctx.globalAlpha = 0.15 + 0.6 * k * k;
            ctx.fillStyle = "#e8f0ff";
            ctx.fillRect(s.x - s.size / 2, s.y - s.size / 2, s.size, s.size);
        }

        ctx.globalAlpha = 1;
        ctx.globalCompositeOperation = "lighter";
        // Smooth scaling would cost more than the whole rest of the frame, so rows are only
        // repeated: twice at half strength, the second time a device row lower, so that a
        // sharp hem steps through a blended row instead of a staircase.
        ctx.imageSmoothingEnabled = false;
        if (litTop < litEnd) {
            var up = height / light.height;
            ctx.globalAlpha = 0.5;
            for (var shift = 0; shift < 2; shift++)
                ctx.drawImage(light, 0, litTop, light.width, litEnd - litTop,
                              0, litTop * up + shift / ratio, width, (litEnd - litTop) * up);
            ctx.globalAlpha = 1;
        }

        ctx.globalCompositeOperation = "source-over";
        ctx.setTransform(1, 0, 0, 1, 0, 0);
        ctx.drawImage(ridge, 0, ridgeTop);
    }

    window.addEventListener("resize", resize);
    resize();
    requestAnimationFrame(frame);
})();
