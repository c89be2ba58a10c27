#!/usr/bin/env bash
# Draws the pictures that installation lays into the program folder: the language flags
# (data/Languages/flags/*.ico) and the wallpapers of the two first-run image lists
# (data/imgLists/abstract/*.jpg, data/imgLists/Corvalix/ilwallpap.jpg).
#
# Every random choice comes from a fixed seed, so running the script again gives the same
# pictures. The results are committed; the build never runs this script.
#
# Needs ImageMagick 6 and awk. CONVERT names another convert program if wanted.
#
#   scripts/make-pictures.sh            all pictures
#   scripts/make-pictures.sh flags      only the flags
#   scripts/make-pictures.sh wallpapers only the wallpapers
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
data=$root/data
IM=${CONVERT:-convert}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Intermediate pictures are MIFF files: lossless, with alpha, and no viewer touches them.
t() { echo "$work/$1.miff"; }

# ---------------------------------------------------------------------------------------
# Helpers

# A small deterministic random generator (a linear congruential one), independent of the
# shell's and awk's own. rnd N leaves a number 0 .. N-1 in $r.
seed=1
rnd() {
    seed=$(((seed * 1103515245 + 12345) & 0x7fffffff))
    r=$(((seed >> 8) % $1))
}

# palette OUT COLOUR... : a vertical colour ramp through the colours, for -clut.
palette() {
    local out=$1 prev=$2
    shift 2
    local args=()
    for c in "$@"; do
        args+=(-size 1x128 "gradient:$prev-$c")
        prev=$c
    done
    "$IM" "${args[@]}" -append "$out"
}

# field OUT WIDTH HEIGHT SEED BLUR : a soft grey cloud field, drawn small and enlarged so
# that it stays smooth.
field() {
    "$IM" -size $(($2 / 4))x$(($3 / 4)) -seed "$4" plasma:fractal -colorspace gray \
        -blur "0x$5" -auto-level -resize "$2x$3!" "$1"
}

# bokeh OUT WIDTH HEIGHT COUNT MINR MAXR ALPHA BLUR COLOUR... : a transparent layer of soft
# round lights in the given colours.
bokeh() {
    local out=$1 w=$2 h=$3 n=$4 rmin=$5 rmax=$6 alpha=$7 blur=$8
    shift 8
    local colours=("$@") draw="" i x y rad c
    for ((i = 0; i < n; i++)); do
        rnd "$w"; x=$r
        rnd "$h"; y=$r
        rnd $((rmax - rmin + 1)); rad=$((rmin + r))
        rnd ${#colours[@]}; c=${colours[$r]}
        draw+="fill rgba($c,$alpha) circle $x,$y $((x + rad)),$y "
    done
    "$IM" -size "${w}x$h" xc:none -draw "$draw" -channel RGBA -blur "0x$blur" "$out"
}

# stars OUT WIDTH HEIGHT COUNT : a transparent layer of small twinkling points.
stars() {
    local out=$1 w=$2 h=$3 n=$4 draw="" i x y a
    for ((i = 0; i < n; i++)); do
        rnd "$w"; x=$r
        rnd "$h"; y=$r
        rnd 60; a=$((40 + r))
        draw+="fill rgba(255,255,255,0.$a) point $x,$y "
        if ((i % 9 == 0)); then
            draw+="fill rgba(220,235,255,0.$((a / 2))) circle $x,$y $((x + 1)),$y "
        fi
    done
    "$IM" -size "${w}x$h" xc:none -draw "$draw" -channel RGBA -blur 0x0.6 "$out"
}

# wave_polygon WIDTH HEIGHT BASE A1 F1 P1 A2 F2 P2 : the outline of a hill whose crest is
# base + a1 sin(f1 x + p1) + a2 sin(f2 x + p2), closed along the bottom edge.
wave_polygon() {
    awk -v w="$1" -v h="$2" -v b="$3" -v a1="$4" -v f1="$5" -v p1="$6" \
        -v a2="$7" -v f2="$8" -v p2="$9" 'BEGIN {
        s = "polygon 0," h
        for (x = 0; x <= w; x += 8) {
            y = b + a1 * sin(f1 * x / w * 6.2832 + p1) + a2 * sin(f2 * x / w * 6.2832 + p2)
            s = s sprintf(" %d,%d", x, y)
        }
        print s " " w "," h
    }'
}

# ribbon WIDTH COUNT BASE STEP A1 DA1 F1 P1 DP1 A2 F2 P2 DP2 : COUNT wavy open lines across
# the picture, each a little lower and a little out of phase with the one before, so that
# together they look like a twisting band of silk.
ribbon() {
    awk -v w="$1" -v n="$2" -v b="$3" -v st="$4" -v a1="$5" -v da1="$6" -v f1="$7" \
        -v p1="$8" -v dp1="$9" -v a2="${10}" -v f2="${11}" -v p2="${12}" -v dp2="${13}" 'BEGIN {
        for (k = 0; k < n; k++) {
            s = "polyline"
            for (x = -40; x <= w + 40; x += 6) {
                y = b + k * st + (a1 + k * da1) * sin(f1 * x / w * 6.2832 + p1 + k * dp1) \
                    + a2 * sin(f2 * x / w * 6.2832 + p2 + k * dp2)
                s = s sprintf(" %d,%d", x, y)
            }
            print s
        }
    }'
}

# jpeg IN OUT : the finished wallpaper, as a plain baseline JPEG of quality 85.
jpeg() {
    "$IM" "$1" -colorspace sRGB -type TrueColor -strip -sampling-factor 2x2 \
        -quality 85 "$2"
    echo "  $(basename "$2"): $("$IM" "$2" -format '%wx%h' info:), $(($(stat -c %s "$2") / 1024)) KB"
}

# ---------------------------------------------------------------------------------------
# Flags: 16 x 16 and 32 x 32 icons, the flag centred with a thin darker rim and a soft
# light from above.

# flag_icon OUT BIG : makes OUT (.ico) from BIG, a large drawing of the flag at 3:2.
flag_icon() {
    local out=$1 big=$2 size fw fh sizes=()
    for size in 16 32; do
        if ((size == 16)); then fw=16 fh=11; else fw=30 fh=20; fi
        "$IM" "$big" -filter Lanczos -resize "$((fw - 2))x$((fh - 2))!" \
            \( +clone -sparse-color Barycentric "0,0 #ffffff 0,%h #dadada" \) \
            -compose Multiply -composite \
            -compose Copy -bordercolor "rgba(0,0,0,0.4)" -border 1 \
            -background none -gravity center -extent "${size}x$size" \
            -type TrueColorAlpha "$(t "flag$size")"
        sizes+=("$(t "flag$size")")
    done
    "$IM" "${sizes[@]}" "$out"
}

flags() {
    local dir=$data/Languages/flags
    mkdir -p "$dir"
    echo "flags"

    # United Kingdom: the Union Flag, drawn on a 60 x 30 grid and fitted to the icon's
    # 3:2 frame as small flag icons usually are.
    "$IM" -size 600x300 xc:'#012169' \
        -stroke white -strokewidth 60 -draw "line 0,0 600,300 line 0,300 600,0" \
        -stroke '#C8102E' -strokewidth 20 -draw "line 0,0 600,300 line 0,300 600,0" \
        -stroke none -fill white -draw "rectangle 250,0 350,300 rectangle 0,100 600,200" \
        -fill '#C8102E' -draw "rectangle 270,0 330,300 rectangle 0,120 600,180" \
        "$(t gb)"
    flag_icon "$dir/gb.ico" "$(t gb)"

    # Germany: black, red, gold.
    "$IM" -size 600x400 xc:'#000000' -fill '#DD0000' -draw "rectangle 0,133 600,266" \
        -fill '#FFCE00' -draw "rectangle 0,267 600,400" "$(t de)"
    flag_icon "$dir/de.ico" "$(t de)"

    # France: blue, white, red.
    "$IM" -size 600x400 xc:white -fill '#0055A4' -draw "rectangle 0,0 199,400" \
        -fill '#EF4135' -draw "rectangle 400,0 600,400" "$(t fr)"
    flag_icon "$dir/fr.ico" "$(t fr)"

    # The default flag, for a language without one of its own: a small blue globe.
    "$IM" -size 256x256 radial-gradient:'#8cc8ff'-'#1d4f9e' -roll -40-40 \
        \( -size 256x256 xc:black -fill white -draw "circle 128,128 128,8" \) \
        -alpha off -compose CopyOpacity -composite -compose Over \
        -fill none -stroke 'rgba(255,255,255,0.75)' -strokewidth 9 \
        -draw "ellipse 128,128 48,120 0,360 ellipse 128,128 96,120 0,360" \
        -draw "line 128,8 128,248 line 8,128 248,128" \
        -draw "line 26,68 230,68 line 26,188 230,188" \
        -stroke '#163f80' -strokewidth 10 -draw "circle 128,128 128,9" \
        "$(t globe)"
    local sizes=() size
    for size in 16 32; do
        "$IM" "$(t globe)" -filter Lanczos -resize "${size}x$size" \
            -type TrueColorAlpha "$(t "globe$size")"
        sizes+=("$(t "globe$size")")
    done
    "$IM" "${sizes[@]}" "$dir/flag.ico"
    ls -l "$dir"
}

# ---------------------------------------------------------------------------------------
# Wallpapers of the first-run lists: eleven abstract pictures of 1024 x 768 and the
# 800 x 600 picture of the Corvalix list.

wallpapers() {
    local abs=$data/imgLists/abstract cor=$data/imgLists/Corvalix
    local W=1024 H=768
    mkdir -p "$abs" "$cor"
    echo "wallpapers"

    # 1. Dusk: slow violet and peach clouds.
    field "$(t f1)" $W $H 11 6
    palette "$(t p1)" '#1a0b3d' '#4b1f78' '#a23a84' '#e8677a' '#ffc98b'
    seed=101
    bokeh "$(t b1)" $W $H 14 10 40 0.18 6 '255,220,190' '255,170,200' '255,240,220'
    "$IM" "$(t f1)" -colorspace sRGB "$(t p1)" -clut "$(t b1)" -compose Screen -composite \
        "$(t w1)"
    jpeg "$(t w1)" "$abs/abs001.jpg"

    # 2. Ocean: long swell lines bent by a slow current.
    field "$(t f2)" $W $H 3 10
    "$IM" -size ${W}x$H gradient: -function Sinusoid 4.5,90,0.5,0.5 \
        "$(t f2)" -define compose:args=0x110 -compose Displace -composite \
        -blur 0x2 -colorspace sRGB "$(t bands2)"
    palette "$(t p2)" '#03182b' '#08415c' '#137a8f' '#43b7bf' '#bdeee6'
    "$IM" "$(t bands2)" "$(t p2)" -clut \
        \( -size ${W}x$H gradient:'#ffffff'-'#7d8ea0' \) -compose Multiply -composite \
        "$(t w2)"
    jpeg "$(t w2)" "$abs/abs002.jpg"

    # 3. Ember: warm contour bands over a cloud field.
    field "$(t f3)" $W $H 27 8
    palette "$(t p3)" '#2a0a06' '#7a1d0c' '#d4521a' '#f59e2b' '#ffe39a'
    "$IM" "$(t f3)" \( +clone -function Sinusoid 3,0,0.25,0.5 \) \
        -compose Blend -define compose:args=55 -composite -auto-level \
        -colorspace sRGB "$(t p3)" -clut "$(t w3)"
    jpeg "$(t w3)" "$abs/abs003.jpg"

    # 4. Aurora: green and violet curtains over a night sky.
    "$IM" -size ${W}x$H gradient:'#01040d'-'#0b2444' "$(t sky4)"
    "$IM" -size 160x5 -seed 41 xc: +noise Random -colorspace gray -auto-level \
        -resize ${W}x$H! "$(t curtains4)"
    "$IM" -size 1x$H gradient:white-black -fx 'exp(-((u-0.5)*(u-0.5))/0.012)' \
        -scale ${W}x$H! -background black -wave 90x1400 -gravity south -crop ${W}x$H+0+0 \
        +repage -roll +0-60 "$(t band4)"
    "$IM" -size 1x$H gradient:white-black -fx 'exp(-((u-0.45)*(u-0.45))/0.006)' \
        -scale ${W}x$H! -background black -wave 60x900 -gravity south -crop ${W}x$H+0+0 \
        +repage -roll +0-170 "$(t band4b)"
    palette "$(t p4)" '#000000' '#0b5f4a' '#25c07f' '#b3ffd8'
    palette "$(t p4b)" '#000000' '#3b1466' '#9b4fd1' '#f0c8ff'
    "$IM" "$(t curtains4)" "$(t band4)" -compose Multiply -composite -blur 0x3 -auto-level \
        -colorspace sRGB "$(t p4)" -clut "$(t green4)"
    "$IM" "$(t curtains4)" -flop "$(t band4b)" -compose Multiply -composite -blur 0x3 \
        -level 0,140% -colorspace sRGB "$(t p4b)" -clut "$(t violet4)"
    seed=404
    stars "$(t stars4)" $W $H 260
    "$IM" "$(t sky4)" "$(t stars4)" -compose Over -composite \
        "$(t violet4)" -compose Screen -composite "$(t green4)" -compose Screen -composite \
        -fill '#06101c' -draw "$(wave_polygon $W $H 650 30 1.3 0.8 12 4.5 2.0)" \
        -fill '#02060c' -draw "$(wave_polygon $W $H 705 24 0.9 3.0 9 5.5 0.6)" \
        "$(t w4)"
    jpeg "$(t w4)" "$abs/abs004.jpg"

    # 5. Satin: soft rose-gold folds. Drawn with a margin so that the folds reach the
    # edges undisturbed, then cut to size.
    field "$(t f5)" 1400 1200 57 6
    "$IM" -size 2000x2000 gradient: -distort SRT 35 -gravity center -crop 1400x1200+0+0 \
        +repage -function Sinusoid 4.5,0,0.5,0.5 \
        "$(t f5)" -define compose:args=170x170 -compose Displace -composite -blur 0x6 \
        -gravity center -crop ${W}x$H+0+0 +repage "$(t h5)"
    palette "$(t p5)" '#3d1426' '#7a3450' '#c47a86' '#efc4b0' '#fff6ee'
    "$IM" "$(t h5)" -shade 120x35 -auto-level -blur 0x2 "$(t h5)" \
        -compose Blend -define compose:args=60 -composite -auto-level -colorspace sRGB \
        "$(t p5)" -clut "$(t w5)"
    jpeg "$(t w5)" "$abs/abs005.jpg"

    # 6. Vortex: blue clouds drawn into a whirl.
    field "$(t f6)" $W $H 66 5
    palette "$(t p6)" '#0d0630' '#2a1a7a' '#4f5fd0' '#7fc6f0' '#e6f8ff'
    "$IM" "$(t f6)" -swirl 320 -colorspace sRGB "$(t p6)" -clut "$(t w6)"
    jpeg "$(t w6)" "$abs/abs006.jpg"

    # 7. Dunes: layered sand hills under a low sun.
    "$IM" -size ${W}x$H gradient:'#fbe3b5'-'#f09a62' \
        -fill 'rgba(255,250,230,0.9)' -draw "circle 700,250 700,185" -blur 0x2 \
        \( -size ${W}x$H xc:none -fill 'rgba(255,235,190,0.55)' -draw "circle 700,250 700,140" \
           -channel RGBA -blur 0x40 \) -compose Screen -composite \
        -fill '#e9a46a' -draw "$(wave_polygon $W $H 420 40 1.2 0.5 18 3.1 1.0)" \
        -fill '#d98350' -draw "$(wave_polygon $W $H 500 45 0.9 2.2 15 2.7 0.3)" \
        -fill '#bd6441' -draw "$(wave_polygon $W $H 580 38 1.4 4.0 12 3.6 2.0)" \
        -fill '#8f4433' -draw "$(wave_polygon $W $H 650 30 1.1 1.0 10 4.2 0.7)" \
        -fill '#5c2a27' -draw "$(wave_polygon $W $H 715 22 0.8 5.1 8 5.0 1.7)" \
        "$(t w7)"
    jpeg "$(t w7)" "$abs/abs007.jpg"

    # 8. Nebula: coloured gas and stars in deep space.
    local n
    for n in 81 82 83; do
        "$IM" -size 256x192 -seed $n plasma:fractal -colorspace gray -blur 0x2.5 -auto-level \
            -resize ${W}x$H! "$(t "n$n")"
    done
    "$IM" -size ${W}x$H xc:black -fill white -draw "ellipse 560,360 380,170 0,360" \
        -distort SRT 25 -blur 0x90 "$(t m8a)"
    "$IM" -size ${W}x$H xc:black -fill white -draw "ellipse 300,560 260,120 0,360" \
        -fill gray60 -draw "ellipse 820,180 200,110 0,360" -blur 0x80 "$(t m8b)"
    "$IM" "$(t n81)" "$(t m8a)" -compose Multiply -composite -level 5%,65% \
        -colorspace sRGB +level-colors black,'#d0408e' "$(t c8a)"
    "$IM" "$(t n82)" "$(t m8b)" -compose Multiply -composite -level 0%,70% \
        -colorspace sRGB +level-colors black,'#3a6ae0' "$(t c8b)"
    "$IM" "$(t n83)" "$(t m8a)" -compose Multiply -composite -level 30%,85% \
        -colorspace sRGB +level-colors black,'#7ff0e0' "$(t c8c)"
    seed=808
    stars "$(t stars8)" $W $H 420
    "$IM" -size ${W}x$H radial-gradient:'#120a28'-'#02010a' \
        "$(t c8b)" -compose Screen -composite "$(t c8a)" -compose Screen -composite \
        "$(t c8c)" -compose Screen -composite "$(t stars8)" -compose Over -composite "$(t w8)"
    jpeg "$(t w8)" "$abs/abs008.jpg"

    # 9. Prism: pastel rays from a soft light in the corner.
    "$IM" -size ${W}x$H gradient: -rotate 90 -resize ${W}x$H! \
        -function Sinusoid 14,0,0.5,0.5 -virtual-pixel Tile -distort Polar "1500,0,150,-80" \
        +repage -blur 0x4 "$(t rays9)"
    palette "$(t p9)" '#f6b8c8' '#f8d7a8' '#c9ecc1' '#a9d8f0' '#cbb8f2'
    "$IM" "$(t rays9)" -colorspace sRGB "$(t p9)" -clut \
        \( -size ${W}x$H xc:none -fill 'rgba(255,255,255,0.7)' -draw "circle 150,-80 150,260" \
           -channel RGBA -blur 0x120 \) -compose Screen -composite "$(t w9)"
    jpeg "$(t w9)" "$abs/abs009.jpg"

    # 10. Contours: mint height lines on deep green.
    field "$(t f10)" $W $H 99 9
    "$IM" "$(t f10)" -function Sinusoid 9,0,0.5,0.5 -evaluate Pow 10 -blur 0x0.8 \
        -colorspace sRGB +level-colors black,'#9ff5d6' "$(t lines10)"
    "$IM" "$(t f10)" -colorspace sRGB +level-colors '#06241f','#1d6b5a' "$(t base10)"
    "$IM" "$(t base10)" "$(t lines10)" -compose Screen -composite "$(t w10)"
    jpeg "$(t w10)" "$abs/abs0010.jpg"

    # 11. City lights: out-of-focus lights on a dark evening ground.
    "$IM" -size ${W}x$H gradient:'#0b1026'-'#2a1b4d' "$(t bg11)"
    seed=1111
    bokeh "$(t far11)" $W $H 60 6 16 0.5 3 '255,200,110' '255,120,170' '120,200,255' '190,140,255'
    bokeh "$(t mid11)" $W $H 26 20 45 0.32 6 '255,200,110' '255,120,170' '120,200,255' '190,140,255'
    bokeh "$(t near11)" $W $H 9 60 110 0.18 14 '255,210,140' '255,150,190' '150,210,255'
    "$IM" "$(t bg11)" "$(t far11)" -compose Screen -composite "$(t mid11)" -compose Screen \
        -composite "$(t near11)" -compose Screen -composite "$(t w11)"
    jpeg "$(t w11)" "$abs/abs0011.jpg"

    # Corvalix: a twisting silk band on deep teal, 800 x 600.
    local w=800 h=600
    "$IM" -size ${w}x$h xc:none -fill none \
        -stroke 'rgba(150,235,230,0.11)' -strokewidth 1.4 \
        -draw "$(ribbon $w 29 250 3 70 1 0.8 0.4 0.035 25 2.1 1.3 -0.02)" \
        -stroke 'rgba(120,200,255,0.09)' \
        -draw "$(ribbon $w 21 360 4 50 -1 1.0 2.0 0.03 18 1.6 0.4 0)" "$(t lines)"
    "$IM" "$(t lines)" -channel RGBA -blur 0x6 "$(t glow)"
    "$IM" -size ${w}x$h gradient:'#0d4353'-'#05131c' \
        \( -size ${w}x$h xc:none -fill 'rgba(60,180,200,0.22)' -draw "ellipse 420,300 380,90 0,360" \
           -channel RGBA -blur 0x60 \) -compose Screen -composite \
        "$(t glow)" -compose Screen -composite "$(t lines)" -compose Screen -composite \
        "$(t corvalix)"
    jpeg "$(t corvalix)" "$cor/ilwallpap.jpg"
}

case ${1:-all} in
    flags) flags ;;
    wallpapers) wallpapers ;;
    all)
        flags
        wallpapers
        ;;
    *) echo "usage: $0 [flags|wallpapers]" >&2 && exit 2 ;;
esac
