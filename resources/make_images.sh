#!/usr/bin/env bash
# Draws every bitmap of the main window and the dialogs into resources/images/. The
# pictures share the program icon's look: blue vault face, gold dial, dark navy outline.
# Run by hand when the artwork changes (ImageMagick 6 or 7); the .bmp files are committed.
# The order of the strips below is the order of the image indexes in image_ids.h.
set -euo pipefail
cd "$(dirname "$0")"
out=images
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if command -v magick >/dev/null 2>&1; then
    im() { magick "$@"; }
else
    im() { convert "$@"; }
fi

# Palette of the program icon, plus a few signal colours.
BLUE='#2d6fb3'
NAVY='#123a66'
INK='#0b2747'
GOLD='#e9b949'
GOLD_D='#c8962a'
GOLD_L='#f6d77a'
BOLT='#9c7020'
HOLE='#16324f'
SKY='#4a90d9'
SKY_L='#dbe9f7'
PAPER='#fdfdf8'
PAPER_D='#d9dde3'
LINE='#7d8ea3'
GREEN='#3c9a3c'
RED='#cc3333'
ORANGE='#e07b24'
STEEL='#8a96a3'
NOTE='#fff0a0'

# Every glyph is drawn on a 96x96 canvas and shrunk by an integer factor, so one output
# pixel is $w canvas units; outlines are $w wide to stay one crisp pixel at every size.
C=96
D=()
d() { D+=("$@"); }
# style FILL STROKE [WIDTH in output pixels]
style() { d -fill "$1" -stroke "$2" -strokewidth "$(awk -v w="$w" -v k="${3:-1}" 'BEGIN{print w*k}')"; }
# styleu FILL STROKE WIDTH: a width in canvas units, for strokes that belong to the shape.
styleu() { d -fill "$1" -stroke "$2" -strokewidth "$3"; }
draw() { d -draw "$1"; }
# rdraw X Y ANGLE PRIMITIVES [SCALE]: primitives in a frame moved to X,Y, turned by ANGLE
# and scaled.
rdraw() { d -draw "translate $1,$2 rotate $3 scale ${5:-1},${5:-1} $4"; }

# --- Building blocks -------------------------------------------------------------------
page() { # x0 y0 x1 y1 [paper colour]
    local x0=$1 y0=$2 x1=$3 y1=$4 f=$(((${3} - ${1}) / 3)) y
    style "${5:-$PAPER}" "$INK"
    draw "polygon $x0,$y0 $((x1 - f)),$y0 $x1,$((y0 + f)) $x1,$y1 $x0,$y1"
    style "$PAPER_D" "$INK"
    draw "polygon $((x1 - f)),$y0 $((x1 - f)),$((y0 + f)) $x1,$((y0 + f))"
    style none "$LINE" 1.5
    for ((y = y0 + f + 8; y <= y1 - 10; y += 12)); do
        draw "line $((x0 + 9)),$y $((x1 - 9)),$y"
    done
}
badge_plus() { # cx cy
    style "$GREEN" "$INK"
    draw "circle $1,$2 $1,$(($2 - 22))"
    styleu none white 8
    draw "line $1,$(($2 - 13)) $1,$(($2 + 13))"
    draw "line $(($1 - 13)),$2 $(($1 + 13)),$2"
}
pencil() { # x y angle: x,y is the middle of the pencil
    style "$ORANGE" "$INK"
    rdraw "$1" "$2" "$3" "rectangle -18,-8 26,8"
    style '#f3d3a0' "$INK"
    rdraw "$1" "$2" "$3" "polygon -34,0 -18,-8 -18,8"
    style "$INK" none
    rdraw "$1" "$2" "$3" "polygon -34,0 -27,-3.5 -27,3.5"
    style '#e88a9a' "$INK"
    rdraw "$1" "$2" "$3" "rectangle 26,-8 36,8"
}
key() { # x y angle [scale]: x,y is the middle of the shaft
    local k=${4:-1}
    style "$GOLD" "$BOLT" "$(awk -v k="$k" 'BEGIN { print 1.5 / k }')"
    rdraw "$1" "$2" "$3" "rectangle -6,-5 38,5" "$k"
    rdraw "$1" "$2" "$3" "rectangle 24,3 30,15" "$k"
    rdraw "$1" "$2" "$3" "rectangle 33,3 38,11" "$k"
    rdraw "$1" "$2" "$3" "circle -20,0 -20,-18" "$k"
    style "$HOLE" none
    rdraw "$1" "$2" "$3" "circle -25,0 -25,-6" "$k"
}
vault() { # x0 y0 x1 y1: the program icon in small
    local cx=$((($1 + $3) / 2)) cy=$((($2 + $4) / 2)) r=$((($3 - $1) * 4 / 10))
    style "$BLUE" "$INK"
    draw "roundrectangle $1,$2 $3,$4 14,14"
    style "$GOLD" "$BOLT"
    draw "circle $cx,$cy $cx,$((cy - r))"
    style "$GOLD_L" none
    draw "circle $cx,$cy $cx,$((cy - r * 3 / 4))"
    style "$HOLE" none
    draw "circle $cx,$((cy - r / 5)) $cx,$((cy - r / 5 - r / 3))"
    draw "polygon $((cx - r / 6)),$cy $((cx + r / 6)),$cy $((cx + r / 3)),$((cy + r * 3 / 5)) $((cx - r / 3)),$((cy + r * 3 / 5))"
}
floppy() { # x0 y0 x1 y1 [body colour]
    local x0=$1 y0=$2 x1=$3 y1=$4 wd=$(($3 - $1))
    style "${5:-$BLUE}" "$INK"
    draw "roundrectangle $x0,$y0 $x1,$y1 6,6"
    style '#c9d2dc' "$INK"
    draw "rectangle $((x0 + wd / 5)),$y0 $((x1 - wd / 5)),$((y0 + wd * 3 / 10))"
    style "$INK" none
    draw "rectangle $((x1 - wd * 2 / 5)),$((y0 + 5)) $((x1 - wd * 3 / 10)),$((y0 + wd / 4))"
    style "$PAPER" "$INK"
    draw "rectangle $((x0 + wd / 8)),$((y0 + wd / 2)) $((x1 - wd / 8)),$y1"
}
globe() { # cx cy r
    local cx=$1 cy=$2 r=$3
    style "$SKY" "$INK"
    draw "circle $cx,$cy $cx,$((cy - r))"
    style none "$SKY_L" 1.5
    draw "ellipse $cx,$cy $((r * 4 / 10)),$((r - 2)) 0,360"
    draw "line $((cx - r + 2)),$cy $((cx + r - 2)),$cy"
    draw "line $((cx - r * 8 / 10)),$((cy - r / 2)) $((cx + r * 8 / 10)),$((cy - r / 2))"
    draw "line $((cx - r * 8 / 10)),$((cy + r / 2)) $((cx + r * 8 / 10)),$((cy + r / 2))"
    style none "$INK"
    draw "circle $cx,$cy $cx,$((cy - r))"
}
magnifier() { # glass centre x y, radius
    style none '#6b4a1f' 3
    draw "stroke-linecap round line $(($1 + $3 * 7 / 10)),$(($2 + $3 * 7 / 10)) $(($1 + $3 * 17 / 10)),$(($2 + $3 * 17 / 10))"
    style "$SKY_L" "$STEEL" 2
    draw "circle $1,$2 $1,$(($2 - $3))"
    style none "$INK"
    draw "circle $1,$2 $1,$(($2 - $3 - w))"
}
clipboard() { # x0 y0 x1 y1
    style '#b07a3a' "$INK"
    draw "roundrectangle $1,$2 $3,$4 6,6"
    style "$PAPER" "$INK"
    draw "rectangle $(($1 + 8)),$(($2 + 10)) $(($3 - 8)),$(($4 - 7))"
    style '#c9d2dc' "$INK"
    draw "roundrectangle $((($1 + $3) / 2 - 14)),$(($2 - 5)) $((($1 + $3) / 2 + 14)),$(($2 + 12)) 4,4"
}
arrow_right() { # x0 y middle, x1 tip, colour
    local x0=$1 y=$2 x1=$3 h=$(((${3} - ${1}) / 2))
    style "${4:-$GREEN}" "$INK"
    draw "polygon $x0,$((y - h / 3)) $((x1 - h)),$((y - h / 3)) $((x1 - h)),$((y - h * 4 / 5)) $x1,$y $((x1 - h)),$((y + h * 4 / 5)) $((x1 - h)),$((y + h / 3)) $x0,$((y + h / 3))"
}
arrow_left() { # x0 tail, y, x1 tip
    local x0=$1 y=$2 x1=$3 h=$(((${1} - ${3}) / 2))
    style "${4:-$GREEN}" "$INK"
    draw "polygon $x0,$((y - h / 3)) $((x1 + h)),$((y - h / 3)) $((x1 + h)),$((y - h * 4 / 5)) $x1,$y $((x1 + h)),$((y + h * 4 / 5)) $((x1 + h)),$((y + h / 3)) $x0,$((y + h / 3))"
}
bubble() { # x0 y0 x1 y1 fill: speech bubble with its tail at the bottom left
    style "$5" "$INK"
    draw "path 'M $(($1 + 8)),$2 H $(($3 - 8)) Q $3,$2 $3,$(($2 + 8)) V $(($4 - 8)) Q $3,$4 $(($3 - 8)),$4 H $(($1 + 26)) L $(($1 + 8)),$(($4 + 14)) L $(($1 + 12)),$4 H $(($1 + 8)) Q $1,$4 $1,$(($4 - 8)) V $(($2 + 8)) Q $1,$2 $(($1 + 8)),$2 Z'"
}
# strokes "POINTS": an open line through the points, drawn as round-capped segments
# (ImageMagick 6 closes some stroked polylines and curves by itself).
strokes() {
    local prims="stroke-linecap round" i pts
    read -ra pts <<<"$1"
    for ((i = 1; i < ${#pts[@]}; i++)); do prims+=" line ${pts[i - 1]} ${pts[i]}"; done
    draw "$prims"
}
arc() { # cx cy r from to: points along a circle, angles in degrees, clockwise on screen
    awk -v cx="$1" -v cy="$2" -v r="$3" -v a0="$4" -v a1="$5" 'BEGIN { n = 12;
        for (i = 0; i <= n; i++) { a = (a0 + (a1 - a0) * i / n) * 3.14159265 / 180;
            printf "%.1f,%.1f ", cx + r * cos(a), cy + r * sin(a) } }'
}
question() { # cx cy: a question mark in white
    local pts
    pts=$(awk -v cx="$1" -v cy="$2" 'function cub(x0, y0, x1, y1, x2, y2, x3, y3,  i, t, u) {
        for (i = 0; i <= 10; i++) { t = i / 10; u = 1 - t;
            printf "%.1f,%.1f ", cx + u*u*u*x0 + 3*u*u*t*x1 + 3*u*t*t*x2 + t*t*t*x3,
                cy + u*u*u*y0 + 3*u*u*t*y1 + 3*u*t*t*y2 + t*t*t*y3 } }
        BEGIN { cub(-18, -4, -18, -30, 20, -30, 20, -8); cub(20, -8, 20, 6, 0, 4, 0, 20) }')
    styleu none white 9
    strokes "$pts"
    styleu white none 0
    draw "circle $1,$(($2 + 33)) $1,$(($2 + 27))"
}
padlock() { # open? (0 or 1)
    style none "$STEEL" 2.5
    if [[ $1 == 1 ]]; then
        draw "path 'M 66,46 V 20 A 18,18 0 0 0 30,20 V 28'"
    else
        draw "path 'M 30,48 V 32 A 18,18 0 0 1 66,32 V 48'"
    fi
    style "$GOLD" "$BOLT" 1.5
    draw "roundrectangle 18,44 78,88 8,8"
    style "$HOLE" none
    draw "circle 48,60 48,53"
    draw "polygon 44,62 52,62 55,78 41,78"
}
grid() { # n cells per side, colours...
    local n=$1 i j s cols=("${@:2}") k=0
    s=$(((80 - (n - 1) * 6) / n))
    for ((j = 0; j < n; j++)); do
        for ((i = 0; i < n; i++)); do
            style "${cols[k % ${#cols[@]}]}" "$INK"
            draw "rectangle $((8 + i * (s + 6))),$((8 + j * (s + 6))) $((8 + i * (s + 6) + s)),$((8 + j * (s + 6) + s))"
            k=$((k + 1))
        done
    done
}
circular_arrows() { # a refresh arrow: three quarters of a turn, head at the top right
    styleu none "$INK" 18
    draw "path 'M 78,50 A 30,30 0 1 1 63,24'"
    styleu none "$GREEN" 10
    draw "path 'M 78,50 A 30,30 0 1 1 63,24'"
    style "$GREEN" "$INK"
    draw "polygon 68,6 82,34 48,38"
}
chevrons() { # x y: "< >" in blue
    style none "$BLUE" 2
    draw "polyline $(($1 + 10)),$(($2 - 10)) $1,$2 $(($1 + 10)),$(($2 + 10))"
    draw "polyline $(($1 + 22)),$(($2 - 10)) $(($1 + 32)),$2 $(($1 + 22)),$(($2 + 10))"
}

# --- Tool bar and menu images, in index order -------------------------------------------
g_logged_out() { padlock 0; }
g_new_account() { vault 4 4 76 76; badge_plus 72 72; }
g_translate() {
    bubble 4 6 60 46 "$SKY"
    bubble 36 36 92 76 "$GOLD"
    style none "$INK" 1.5
    draw "line 46,50 82,50"
    draw "line 46,62 74,62"
    style none white 1.5
    draw "line 14,18 50,18"
    draw "line 14,30 34,30"
}
g_open_account() {
    style "$GOLD_D" "$INK"
    draw "polygon 6,18 34,18 40,26 80,26 80,82 6,82"
    style "$GOLD" "$INK"
    draw "polygon 20,40 92,40 80,82 6,82"
    style "$HOLE" none
    draw "circle 49,54 49,48"
    draw "polygon 46,56 52,56 55,70 43,70"
}
g_save() { floppy 8 8 88 88; }
g_logout() {
    style '#a8743a' "$INK"
    draw "rectangle 10,6 50,90"
    style "$INK" none
    draw "circle 42,50 42,46"
    arrow_right 40 48 92 "$GREEN"
}
g_edit_account() { vault 4 4 76 76; pencil 64 62 -45; }
g_tray_logged_in() {
    vault 4 4 88 88
    style "$GREEN" "$INK"
    draw "circle 74,74 74,56"
}
g_change_password() {
    key 44 30 0
    style none "$INK" 2
    local x
    for x in 20 48 76; do
        draw "line $x,58 $x,86"
        draw "line $((x - 12)),65 $((x + 12)),79"
        draw "line $((x - 12)),79 $((x + 12)),65"
    done
}
g_find() { magnifier 38 38 26; }
g_new_entry() { page 8 4 70 88; badge_plus 70 72; }
g_cut() {
    style none "$STEEL" 3
    draw "stroke-linecap round line 38,60 66,8"
    draw "stroke-linecap round line 58,60 30,8"
    style none "$INK" 3
    draw "circle 30,72 30,60"
    draw "circle 66,72 66,60"
}
g_open_web() { globe 48 48 40; }
g_delete() {
    style none "$INK" 6
    draw "stroke-linecap round line 22,22 74,74"
    draw "stroke-linecap round line 74,22 22,74"
    style none "$RED" 4
    draw "stroke-linecap round line 22,22 74,74"
    draw "stroke-linecap round line 74,22 22,74"
}
g_undelete() { # a U-turn back to the left
    local pts
    pts="34,34 $(arc 58 58 24 -90 90) 24,82"
    styleu none "$INK" 20
    strokes "$pts"
    styleu none "$GREEN" 12
    strokes "$pts"
    style "$GREEN" "$INK"
    draw "polygon 4,34 36,8 36,60"
}
g_edit_entry() { page 6 4 68 88; pencil 62 58 -45; }
g_view_style() { grid 2 "$BLUE" "$GOLD" "$GREEN" "$SKY"; }
g_comment() {
    style white "$INK"
    draw "rectangle 6,8 90,88"
    style "$BLUE" "$INK"
    draw "rectangle 6,8 90,24"
    style none "$LINE" 1.5
    draw "line 14,34 82,34"
    draw "line 14,46 82,46"
    style "$NOTE" "$GOLD_D"
    draw "rectangle 12,58 84,82"
    style none "$BOLT" 1.5
    draw "line 20,70 70,70"
}
g_help() {
    style "$BLUE" "$INK"
    draw "circle 48,48 48,6"
    question 48 40
}
g_quit() {
    style none "$INK" 5
    draw "path 'M 30,24 A 30,30 0 1 0 66,24'"
    draw "stroke-linecap round line 48,8 48,46"
    style none "$RED" 3
    draw "path 'M 30,24 A 30,30 0 1 0 66,24'"
    draw "stroke-linecap round line 48,8 48,46"
}
g_save_as() { floppy 4 4 76 76; pencil 64 64 -45; }
g_backup() { floppy 4 4 68 68 "$SKY"; floppy 28 28 92 92; }
g_copy() { page 6 4 56 62; page 38 32 88 92; }
g_paste() { clipboard 12 12 84 90; }
g_export_xml() { page 4 4 64 92; chevrons 12 62; arrow_right 48 36 94 "$BLUE"; }
g_import_xml() { page 32 4 92 92; chevrons 40 62; arrow_right 2 36 48 "$GREEN"; }
g_copy_whole_entry() { page 6 4 56 62; page 38 32 88 92; key 36 46 -45; }
g_select_all() {
    local y
    for y in 14 44 74; do
        style none "$GREEN" 2.5
        draw "polyline 6,$y 16,$((y + 10)) 32,$((y - 8))"
        style none "$LINE" 2
        draw "line 42,$y 90,$y"
    done
}
g_replace_from_clipboard() { clipboard 8 12 80 90; key 50 66 -30; }
g_find_again() { magnifier 34 34 24; arrow_right 46 78 94 "$GREEN"; }
g_password_guard() {
    style "$BLUE" "$INK"
    draw "path 'M 48,6 L 84,18 V 44 C 84,68 68,82 48,92 C 28,82 12,68 12,44 V 18 Z'"
    style none "$GOLD" 3
    draw "polyline 30,48 44,62 68,34"
}
g_file_remover() {
    page 22 2 74 44
    style "$STEEL" "$INK"
    draw "roundrectangle 6,40 90,60 4,4"
    style none "$LINE" 2
    local x
    for x in 28 38 48 58 68; do draw "line $x,64 $x,92"; done
}
g_generator() {
    style white "$INK"
    draw "roundrectangle 10,10 86,86 14,14"
    style "$INK" none
    local p
    for p in 30,30 66,30 48,48 30,66 66,66; do draw "circle $p ${p%,*},$((${p#*,} - 7))"; done
}
g_preferences() {
    local pts
    pts=$(awk 'BEGIN { n = 8; for (i = 0; i < 4 * n; i++) {
        a = (i - 0.5) * 3.14159265 / (2 * n); r = (int(i / 2) % 2 == 0) ? 42 : 32;
        printf "%.1f,%.1f ", 48 + r * cos(a), 48 + r * sin(a) } }')
    style "$STEEL" "$INK"
    draw "polygon $pts"
    style white "$INK"
    draw "circle 48,48 48,34"
}
g_tip() {
    style "$GOLD_L" "$INK"
    draw "path 'M 34,62 C 34,52 18,46 18,32 A 30,30 0 0 1 78,32 C 78,46 62,52 62,62 Z'"
    style "$STEEL" "$INK"
    draw "rectangle 34,64 62,84"
    style none "$INK" 1.5
    draw "line 34,71 62,71"
    draw "line 34,78 62,78"
    style "$INK" none
    draw "rectangle 42,84 54,92"
}
g_check_new_version() { circular_arrows; }
g_online_faq() { bubble 4 4 92 76 "$BLUE"; question 48 32; }
g_default_language() {
    style "$STEEL" "$INK"
    draw "rectangle 10,6 18,92"
    style "$BLUE" "$INK"
    draw "path 'M 18,10 C 40,2 56,22 86,12 V 52 C 56,62 40,42 18,50 Z'"
    style none "$GOLD" 4
    draw "path 'M 18,30 C 40,22 56,42 86,32'"
}
g_about() {
    style "$BLUE" "$INK"
    draw "circle 48,48 48,6"
    style white none
    draw "circle 48,28 48,21"
    draw "roundrectangle 42,40 54,76 3,3"
}
g_language() {
    bubble 6 10 90 70 "$GOLD"
    style none "$INK" 2
    draw "line 20,28 76,28"
    draw "line 20,44 64,44"
}
g_copy_title() {
    style "$GOLD" "$INK"
    draw "polygon 8,30 56,30 88,54 56,78 8,78"
    style white "$INK"
    draw "circle 62,54 62,48"
    style none "$BOLT" 2
    draw "line 16,46 44,46"
    draw "line 16,62 40,62"
}
g_copy_details() {
    page 12 4 84 92
    style none "$BLUE" 2
    local y
    for y in 42 54 66 78; do draw "line 22,$y 74,$y"; done
}
g_copy_password() { key 46 48 -35; }
g_open_keyhaven() { vault 6 6 90 90; }
g_duplicate() { page 4 4 54 62; page 30 26 80 86; badge_plus 72 72; }
g_import_from_clipboard() { clipboard 12 12 84 90; chevrons 32 56; }
g_large_icons() { grid 2 "$SKY" "$SKY" "$SKY" "$SKY"; }
g_small_icons() { grid 3 "$SKY"; }
g_list_view() {
    local y
    for y in 14 38 62 86; do
        style "$SKY" "$INK"
        draw "rectangle 4,$((y - 7)) 16,$((y + 5))"
        style none "$LINE" 2
        draw "line 24,$y 52,$y"
        [[ $y -le 38 ]] && {
            style "$SKY" "$INK"
            draw "rectangle 56,$((y - 7)) 68,$((y + 5))"
            style none "$LINE" 2
            draw "line 74,$y 92,$y"
        }
    done
    return 0
}
g_details_view() {
    style white "$INK"
    draw "rectangle 6,8 90,88"
    style "$SKY" "$INK"
    draw "rectangle 6,8 90,26"
    style none "$LINE" 1.5
    local y
    for y in 40 54 68 82; do draw "line 6,$y 90,$y"; done
    draw "line 40,26 40,88"
    style none "$INK"
    draw "rectangle 6,8 90,88"
}
g_manage_account() {
    style "$BLUE" "$INK"
    draw "path 'M 14,92 C 14,60 26,52 48,52 C 70,52 82,60 82,92 Z'"
    style "$GOLD_L" "$INK"
    draw "circle 48,30 48,8"
}
g_delete_all() {
    page 6 4 56 62
    page 30 26 80 86
    style none "$INK" 5
    draw "stroke-linecap round line 52,52 86,86"
    draw "stroke-linecap round line 86,52 52,86"
    style none "$RED" 3
    draw "stroke-linecap round line 52,52 86,86"
    draw "stroke-linecap round line 86,52 52,86"
}
g_logged_in() {
    padlock 1
    style "$GREEN" "$INK"
    draw "circle 80,80 80,66"
}

# --- Row, tab and dialog images ---------------------------------------------------------
g_row_password() { key 50 48 -35 1.2; }
g_row_link() { # two chain links across the diagonal
    local link="roundrectangle -30,-13 30,13 13,13"
    styleu none "$INK" 20
    rdraw 33 63 -45 "$link"
    rdraw 63 33 -45 "$link"
    styleu none "$SKY" 10
    rdraw 33 63 -45 "$link"
    styleu none "$BLUE" 10
    rdraw 63 33 -45 "$link"
}
g_row_text() {
    style "$NOTE" "$INK"
    draw "polygon 10,6 86,6 86,66 66,90 10,90"
    style "$GOLD" "$INK"
    draw "polygon 86,66 66,66 66,90"
    style none "$BOLT" 2
    local y
    for y in 24 40 56; do draw "line 22,$y 74,$y"; done
}
g_row_deleted() {
    page 14 4 82 92 "$PAPER_D"
    g_delete
}
g_row_new() {
    page 10 4 74 88
    style "$GREEN" "$INK"
    local pts
    pts=$(awk 'BEGIN { for (i = 0; i < 10; i++) { a = -3.14159265 / 2 + i * 3.14159265 / 5;
        r = (i % 2 == 0) ? 30 : 13; printf "%.1f,%.1f ", 64 + r * cos(a), 64 + r * sin(a) } }')
    draw "polygon $pts"
}
g_row_changed() { page 10 4 74 92; pencil 60 58 -45; }
g_tab_all() {
    style "$SKY_L" "$INK"
    draw "roundrectangle 30,6 90,60 6,6"
    style "$GOLD_L" "$INK"
    draw "roundrectangle 18,20 78,74 6,6"
    style white "$INK"
    draw "roundrectangle 6,34 66,90 6,6"
    style none "$LINE" 2
    draw "line 16,52 56,52"
    draw "line 16,66 56,66"
    draw "line 16,80 44,80"
}

# render GLYPH SIZE FILE: the glyph as a SIZE x SIZE picture with alpha.
render() {
    w=$((C / $2))
    D=()
    "$1"
    im -size ${C}x${C} xc:none "${D[@]}" -filter Box -resize "$2x$2" "$3"
}

# strip SIZE OUT GLYPH...: the pictures side by side in one 32-bit BMP with straight
# (not premultiplied) alpha; fully transparent pixels are black.
strip() {
    local size=$1 dest=$2 i=0 g files=()
    shift 2
    for g in "$@"; do
        render "$g" "$size" "$tmp/s$i.png"
        files+=("$tmp/s$i.png")
        i=$((i + 1))
    done
    im "${files[@]}" +append -depth 8 -background black -alpha background "$tmp/strip.png"
    bmp32 "$tmp/strip.png" "$out/$dest"
}
bmp32() { im "$1" -define bmp:format=bmp4 -type TrueColorAlpha "BMP:$2"; }
bmp24() { im "$1" -alpha off -type TrueColor "BMP3:$2"; }

toolbar=(
    g_logged_out g_new_account g_translate g_open_account g_save g_logout g_edit_account
    g_tray_logged_in g_change_password g_find g_new_entry g_cut g_open_web g_delete
    g_undelete g_edit_entry g_view_style g_comment g_help g_quit g_save_as g_backup g_copy
    g_paste g_export_xml g_import_xml g_copy_whole_entry g_select_all
    g_replace_from_clipboard g_find_again g_password_guard g_file_remover g_generator
    g_preferences g_tip g_check_new_version g_online_faq g_default_language g_about
    g_language g_copy_title g_copy_details g_copy_password g_open_keyhaven g_duplicate
    g_import_from_clipboard g_large_icons g_small_icons g_list_view g_details_view
    g_manage_account g_delete_all g_logged_in
)
rows=(g_row_password g_row_link g_row_text g_row_deleted g_row_new g_row_changed)
tabs=(g_tab_all g_row_password g_row_link g_row_text)

strip 24 toolbar.bmp "${toolbar[@]}"
strip 16 toolbar16.bmp "${toolbar[@]}"
strip 16 rows.bmp "${rows[@]}"
strip 32 rows32.bmp "${rows[@]}"
strip 24 tabs.bmp "${tabs[@]}"
strip 32 tip.bmp g_tip

# Caption-bar logo: the vault dial turns one full revolution over 22 frames, drawn at
# 8x and shrunk to 21x21.
logo_frames=()
im -size 168x168 xc:none -fill "$BLUE" -stroke "$INK" -strokewidth 8 \
    -draw 'roundrectangle 4,4 163,163 30,30' "$tmp/logo_face.png"
im -size 168x168 xc:none -fill "$GOLD" -stroke "$BOLT" -strokewidth 6 \
    -draw 'circle 84,84 84,20' -fill "$GOLD_L" -stroke none -draw 'circle 84,84 84,36' \
    -stroke "$BOLT" -strokewidth 10 -draw 'line 84,22 84,40' -draw 'line 84,128 84,146' \
    -draw 'line 22,84 40,84' -draw 'line 128,84 146,84' \
    -stroke none -fill "$RED" -draw 'circle 84,30 84,22' "$tmp/logo_dial.png"
for ((i = 0; i < 22; i++)); do
    angle=$(awk -v i="$i" 'BEGIN { printf "%.4f", i * 360 / 22 }')
    im "$tmp/logo_face.png" \( "$tmp/logo_dial.png" -virtual-pixel transparent \
        -distort SRT "$angle" \) -composite \
        -fill "$HOLE" -draw 'circle 84,74 84,56' -draw 'polygon 76,78 92,78 100,118 68,118' \
        -filter Box -resize 21x21 "$tmp/logo$i.png"
    logo_frames+=("$tmp/logo$i.png")
done
im "${logo_frames[@]}" +append -depth 8 -background black -alpha background "$tmp/logo.png"
bmp32 "$tmp/logo.png" "$out/logo.bmp"

# Password Guard countdown: 20 pictures of 41x41; the gold sector is the time left, full in
# the first picture and one twentieth in the last.
guard_frames=()
for ((i = 0; i < 20; i++)); do
    sector=$(awk -v i="$i" 'BEGIN { pi = 3.14159265; a = -pi / 2 + (20 - i) * 2 * pi / 20;
        large = (20 - i > 10) ? 1 : 0;
        printf "M 164,164 L 164,32 A 132,132 0 %d 1 %.2f,%.2f Z", large,
            164 + 132 * cos(a), 164 + 132 * sin(a) }')
    [[ $i == 0 ]] && sector='M 164,32 A 132,132 0 1 1 163.9,32 Z'
    im -size 328x328 xc:none -fill "$BLUE" -stroke "$INK" -strokewidth 8 \
        -draw 'circle 164,164 164,12' -fill "$GOLD" -stroke "$BOLT" -strokewidth 4 \
        -draw "path '$sector'" -fill "$HOLE" -stroke none \
        -draw 'circle 164,150 164,124' -draw 'polygon 152,156 176,156 186,212 142,212' \
        -filter Box -resize 41x41 "$tmp/guard$i.png"
    guard_frames+=("$tmp/guard$i.png")
done
im "${guard_frames[@]}" +append -depth 8 -background black -alpha background "$tmp/guard.png"
bmp32 "$tmp/guard.png" "$out/guard.bmp"

# Account wizard's picture strip (120 wide, above the 30-pixel button bar).
im -size 120x235 gradient:"$BLUE"-"$NAVY" \
    -fill "$GOLD" -stroke "$BOLT" -strokewidth 3 -draw 'circle 60,96 60,50' \
    -fill "$GOLD_L" -stroke none -draw 'circle 60,96 60,62' \
    -stroke "$BOLT" -strokewidth 5 -draw 'line 60,48 60,60' -draw 'line 60,132 60,144' \
    -draw 'line 12,96 24,96' -draw 'line 96,96 108,96' \
    -stroke none -fill "$HOLE" -draw 'circle 60,88 60,74' -draw 'polygon 54,92 66,92 72,122 48,122' \
    -fill none -stroke "$GOLD" -strokewidth 2 -draw 'line 20,190 100,190' \
    -stroke '#5d8fc6' -strokewidth 1 -draw 'line 30,200 90,200' "$tmp/wizard.png"
bmp24 "$tmp/wizard.png" "$out/wizard.bmp"

# Crash report banner (stretched to the window's width, 45 high): warm warning band with
# a warning sign at the left.
im -size 463x45 gradient:'#fde7c4'-'#fffaf0' -rotate -90 -resize '463x45!' \
    -fill "$ORANGE" -stroke '#8a4a10' -strokewidth 2 -draw 'polygon 22,6 40,38 4,38' \
    -fill white -stroke none -draw 'rectangle 20,16 24,29' -draw 'rectangle 20,32 24,35' \
    -fill '#e0b070' -draw 'rectangle 0,43 462,44' "$tmp/banner.png"
bmp24 "$tmp/banner.png" "$out/crash_banner.bmp"

# Window chrome, stretched by the program. The frame runs from the accent blue at the top
# to the status bar's colour at the bottom; its bottom-left pixel is that colour.
im -size 16x32 gradient:"$BLUE"-'#e6ebf3' "$tmp/frame.png"
bmp24 "$tmp/frame.png" "$out/chrome_frame.bmp"
im -size 16x23 gradient:'#ffffff'-'#dfe7f2' -fill '#9aa8bd' -draw 'rectangle 0,22 15,22' \
    "$tmp/caption.png"
bmp24 "$tmp/caption.png" "$out/chrome_caption.bmp"
im -size 16x20 gradient:'#ffffff'-'#edf2f9' "$tmp/banner_bg.png"
bmp24 "$tmp/banner_bg.png" "$out/chrome_banner.bmp"
im -size 16x20 gradient:'#f4f6fa'-'#e6ebf3' -fill '#9aa8bd' -draw 'rectangle 0,0 15,0' \
    "$tmp/status.png"
bmp24 "$tmp/status.png" "$out/chrome_status.bmp"
