#!/usr/bin/env bash
# Uses the application as a person would, under a virtual X server: opens a real photo
# (5120 x 2880) through File > New, adds a text box, types, saves, closes, opens the saved
# document again and exports a JPEG; then paints the mask, adds a picture box and a shape from
# the picker, copies and pastes, brings to front, deletes and drops a photo (the test drop key),
# undoing each; then, on a new text box, goes through the Font panel (face, size, bold and
# underline on and off) and gives the text a stroke, a drop shadow, a curve (each undone) and a
# red colour; then types in a second document and goes through the clipboard keys (with text
# from another program through xclip), the caret, italic Arabic and an arrow-key nudge, and
# exports a picture with transparency against what the screen shows; last, holds an arrow key
# on a selected box under X's key repeat and takes it back with one Ctrl+Z. Each step takes a
# screenshot and probes its pixels; the screenshots stay in the output folder for a person to
# look at.
#
#   scripts/smoke-app.sh [output folder]     QUILLMARK_BUILD names the build folder
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLMARK_BUILD:-$root/build/release}"
app="$build/src/app/quillmark"
photo="/usr/share/wallpapers/Flow/contents/images/5120x2880.jpg"

if [ "${1:-}" != "--inside" ]; then
  out="$(mkdir -p "${1:-$root/build/smoke}" && cd "${1:-$root/build/smoke}" && pwd)"
  "$root/scripts/setup-deps.sh" xvfb xauth xdotool x11-apps x11-xserver-utils imagemagick \
    plasma-workspace-wallpapers xclip
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --parallel 4 --target quillmark
  start=$(date +%s)
  xvfb-run -a -s "-screen 0 1600x1000x24" "$0" --inside "$out"
  echo "smoke-app: passed in $(($(date +%s) - start)) s; screenshots in $out"
  exit 0
fi

out="$2"
work="$(mktemp -d)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
rm -f "$out"/*.png "$out"/smoke.quillmark "$out"/smoke.jpg "$out"/alpha.jpg

fail() {
  echo "smoke-app: $*" >&2
  [ -f "$work/log" ] && tail -20 "$work/log" >&2
  exit 1
}

# ---- screenshots and probes
shot() { import -window root "$out/$1.png"; }
# Mean colour of a rectangle of a screenshot, as "r g b" in 0..255.
mean() {
  convert "$out/$1.png" -crop "$4x$5+$2+$3" +repage -resize '1x1!' \
    -format '%[fx:int(255*r+0.5)] %[fx:int(255*g+0.5)] %[fx:int(255*b+0.5)]' info:
}
# Standard deviation of a rectangle's grey levels, 0..255: a photo varies, a flat panel not.
spread() {
  convert "$out/$1.png" -crop "$4x$5+$2+$3" +repage -colorspace Gray \
    -format '%[fx:int(255*standard_deviation+0.5)]' info:
}
# How many pixels of a rectangle differ by over 10% between two screenshots.
changed_pixels() {
  local a b
  a="$work/a.png" b="$work/b.png"
  convert "$out/$1.png" -crop "$5x$6+$3+$4" +repage "$a"
  convert "$out/$2.png" -crop "$5x$6+$3+$4" +repage "$b"
  compare -metric AE -fuzz 10% "$a" "$b" null: 2>&1 || true
}
# The bounding box "W H X Y" (screen coordinates) of where two screenshots differ by over 8%
# inside a rectangle; "0 0 0 0" when they do not (nor in a line one pixel wide, unless a seventh
# argument "thin" asks for such lines too).
diff_box() {
  local box
  box=$(convert "$out/$1.png" "$out/$2.png" -crop "$5x$6+$3+$4" +repage -compose difference \
    -composite -colorspace Gray -threshold 8% -format '%@' info: 2>/dev/null || true)
  local least=2
  [ "${7:-}" = thin ] && least=1
  if [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge $least ]; then
    echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} $((BASH_REMATCH[3] + $3)) $((BASH_REMATCH[4] + $4))"
  else
    echo "0 0 0 0"
  fi
}
# The bounding box "W H X Y" (screen coordinates) of the near-black pixels (typed text) of a
# rectangle; "0 0 0 0" when there are none.
text_box() {
  local box
  box=$(convert "$out/$1.png" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 7% -negate \
    -format '%@' info: 2>/dev/null || true)
  if [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 1 ]; then
    echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} $((BASH_REMATCH[3] + $2)) $((BASH_REMATCH[4] + $3))"
  else
    echo "0 0 0 0"
  fi
}
# How many pixels of a rectangle are near black (the typed text; the photo has none so dark).
dark_pixels() {
  convert "$out/$1.png" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 7% -negate \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}
# How many pixels of a rectangle are light (titles on the dark sidebar).
bright_pixels() {
  convert "$out/$1.png" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 60% \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}
# Drags with the left button from one point to another in steps, as a hand does.
drag() {
  xdotool mousemove "$1" "$2" mousedown 1
  local i
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(($1 + ($3 - $1) * i / 8)) $(($2 + ($4 - $2) * i / 8))
    sleep 0.03
  done
  xdotool mouseup 1
  sleep 0.3
}
# Moves the Zoom slider of the document window from one percentage to another.
zoom_slider() {
  eval "$(geometry "$1")"
  local span=$((ZOOM_X1 - ZOOM_X0))
  drag $((X + ZOOM_X0 + span * $2 / 100)) $((Y + ZOOM_Y)) $((X + ZOOM_X0 + span * $3 / 100)) \
    $((Y + ZOOM_Y))
  sleep 1.5
}
# Largest channel difference of two "r g b" triples.
colour_distance() {
  read -r r1 g1 b1 <<<"$1"
  read -r r2 g2 b2 <<<"$2"
  local d=0 v
  for v in $((r1 - r2)) $((g1 - g2)) $((b1 - b2)); do
    v=${v#-}
    [ "$v" -gt "$d" ] && d=$v
  done
  echo "$d"
}

# ---- windows and input
# The id of the visible window whose title matches, waiting up to 10 s.
window_named() {
  local id
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window named '$1'"
}
# The id of a visible window whose title matches and whose id is not among $2 (the windows
# there were before), waiting up to 10 s: the window a command just opened.
new_window_named() {
  local id
  for _ in $(seq 1 100); do
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null || true); do
      [[ " $2 " == *" $id "* ]] || { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  fail "no new window named '$1'"
}
window_gone() {
  for _ in $(seq 1 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "window '$1' did not close"
}
# Without a window manager the keyboard follows the pointer and the focus call.
focus() {
  # shellcheck disable=SC2034 # the caller's window geometry stays as it was
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.2
}
# Types a path into the file dialog that opens with this title and accepts it.
choose_file() {
  local dialog
  dialog=$(window_named "$1")
  focus "$dialog"
  xdotool key ctrl+a
  xdotool type --delay 5 "$2"
  xdotool key Return
  window_gone "$1"
}
geometry() { xdotool getwindowgeometry --shell "$1"; }
# The window's File menu, then its item "Export JPEG image…" (the sixth).
export_jpeg() {
  eval "$(geometry "$1")"
  xdotool mousemove $((X + MENU_X)) $((Y + MENU_Y)) click 1
  sleep 0.3
  xdotool key Down Down Down Down Down Down Return
}
# The "Text" button of the document window, then one click on the new, selected box in the
# canvas's middle, which opens it for typing with all its text selected. The text then shows in
# TEXT_* (screen coordinates).
add_text_box() {
  eval "$(geometry "$1")"
  xdotool mousemove $((X + TEXT_BUTTON_X)) $((Y + TEXT_BUTTON_Y)) click 1
  sleep 0.5
  xdotool mousemove $((X + CANVAS_CX)) $((Y + CANVAS_CY)) click 1
  sleep 0.7
  TEXT_X=$((X + CANVAS_CX - 120)) TEXT_Y=$((Y + CANVAS_CY - 40)) TEXT_W=240 TEXT_H=80
}
wait_for_file() {
  for _ in $(seq 1 100); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  fail "$1 was not written"
}

# Where the document window's controls sit, from its top-left corner.
MENU_X=92 MENU_Y=22 EDIT_X=144 ARRANGE_X=202
TEXT_BUTTON_X=964 TEXT_BUTTON_Y=109
CANVAS_CX=457 CANVAS_CY=422
# The canvas (left of the sidebar), the Zoom slider's track and the sidebar's "Mask" and
# "Text & Shapes" segments.
CANVAS_X=0 CANVAS_Y=50 CANVAS_W=900 CANVAS_H=740
ZOOM_X0=925 ZOOM_X1=1188 ZOOM_Y=374
MASK_X=1125 MASK_Y=65 BOXES_X=990 BOXES_Y=65
PHOTO_X=100 PHOTO_Y=250 # a point of the photo away from the text box
# The "Picture" and "Shape" buttons, the shape picker's rectangle (from the picker's top-left
# corner, which sits centred under the Shape button), and the middle of the mask mode's
# red-mask tick box.
PICTURE_BUTTON_X=1052 SHAPE_BUTTON_X=1140 BUTTON_BOTTOM=122
PICKER_RECT_X=68 PICKER_RECT_Y=120
RED_MASK_X=930 RED_MASK_Y=370
# How far the inspector's text box is dragged up from the canvas's middle.
TEXT_LIFT=190
# Pictures of the wallpaper package for a picture box and for a dropped photo.
box_photo="/usr/share/wallpapers/Autumn/contents/images/640x480.jpg"
drop_photo="/usr/share/wallpapers/BytheWater/contents/images/800x600.jpg"

# ---- the session
mkdir -p "$work/config"
XDG_CONFIG_HOME="$work/config" QUILLMARK_TEST_DROP="$drop_photo" QUILLMARK_TEST_GEOMETRY=1 \
  QT_LOGGING_RULES="quillmark.*.info=true" "$app" \
  >"$work/log" 2>&1 &
pid=$!

welcome=$(window_named "Welcome to Quillmark")
sleep 0.5
shot 01-welcome
# The newsletter form: its "Subscribe" button is drawn in blue (0x1499ff) and its e-mail box is
# white, above the check box at the window's bottom.
eval "$(geometry "$welcome")"
blue=$(convert "$out/01-welcome.png" -crop "${WIDTH}x$((HEIGHT / 2))+$X+$((Y + HEIGHT / 2))" +repage \
  -fuzz 12% -fill black +opaque '#1499ff' -fill white -opaque '#1499ff' \
  -format '%[fx:int(mean*w*h)]' info:)
echo "smoke-app: welcome window form, $blue blue button pixels"
[ "$blue" -gt 40 ] || fail "the welcome window shows no newsletter form ($blue blue pixels)"
focus "$welcome"
xdotool key ctrl+n
choose_file "Select image file" "$photo"

doc=$(window_named "Quillmark [0-9]")
sleep 2
eval "$(geometry "$doc")"
shot 02-photo
# The photo fills the middle of the canvas: it varies like a photo, and its mean colour is
# the photo's own (the whole picture shows, fitted).
photo_mean=$(convert "$photo" -resize '1x1!' \
  -format '%[fx:int(255*r+0.5)] %[fx:int(255*g+0.5)] %[fx:int(255*b+0.5)]' info:)
cx=$((X + WIDTH / 2 - 100))
cy=$((Y + HEIGHT / 2 - 60))
[ "$(spread 02-photo $cx $cy 200 120)" -gt 3 ] || fail "the canvas shows no photo"
echo "smoke-app: photo mean $photo_mean, canvas centre $(mean 02-photo $cx $cy 200 120)"

# A text box, and "Hello" typed into it.
add_text_box "$doc"
sleep 0.5
shot 03-textbox-before
focus "$doc"
xdotool type --delay 30 "Hello"
sleep 0.8
shot 04-typed
typed=$(changed_pixels 03-textbox-before 04-typed $TEXT_X $TEXT_Y $TEXT_W $TEXT_H)
[ "${typed%%.*}" -gt 100 ] || fail "typing changed nothing ($typed pixels)"
after=$(mean 04-typed $TEXT_X $TEXT_Y $TEXT_W $TEXT_H)

# One undo takes the whole typed word back, not its last letter; redo brings it again.
xdotool key ctrl+z
sleep 0.8
shot 04u-undone
undone=$(changed_pixels 03-textbox-before 04u-undone $TEXT_X $TEXT_Y $TEXT_W $TEXT_H)
[ "${undone%%.*}" -lt $((${typed%%.*} / 4)) ] ||
  fail "one undo did not take the typed word back ($undone of $typed pixels still differ)"
xdotool key ctrl+shift+z
sleep 0.8
shot 04r-redone
redone=$(changed_pixels 04-typed 04r-redone $TEXT_X $TEXT_Y $TEXT_W $TEXT_H)
[ "${redone%%.*}" -lt $((${typed%%.*} / 4)) ] || fail "redo did not bring the word back ($redone)"
echo "smoke-app: typed $typed pixels, one undo left $undone, redo $redone"

# Save (an untitled document asks for a name), close without a question, open again.
xdotool key ctrl+s
choose_file "Save" "$out/smoke.quillmark"
wait_for_file "$out/smoke.quillmark"
doc=$(window_named "^smoke")
# The drawn title names the document: the draft name with its unsaved mark before, "smoke" now.
sleep 0.5
shot 04b-saved
eval "$(geometry "$doc")"
titled=$(changed_pixels 04-typed 04b-saved $((X + WIDTH / 2 - 250)) $((Y + 5)) 300 35)
[ "${titled%%.*}" -gt 100 ] || fail "the drawn title does not show the document's name"
focus "$doc"
xdotool key ctrl+w
window_gone "^smoke"
welcome=$(window_named "Welcome to Quillmark")
shot 05-closed
focus "$welcome"
xdotool key ctrl+o
choose_file "Open" "$out/smoke.quillmark"
doc=$(window_named "^smoke")
sleep 2
shot 06-reopened
eval "$(geometry "$doc")"
again=$(mean 06-reopened $TEXT_X $TEXT_Y $TEXT_W $TEXT_H)
[ "$(colour_distance "$after" "$again")" -le 6 ] ||
  fail "the reopened document looks different ($after, now $again)"

# Export through the window's File menu.
export_jpeg "$doc"
choose_file "Export JPEG image" "$out/smoke.jpg"
wait_for_file "$out/smoke.jpg"
size=$(identify -format '%wx%h' "$out/smoke.jpg")
[ "$size" = "5120x2880" ] || fail "export is $size, not 5120x2880"
sleep 0.5
shot 07-exported
echo "smoke-app: exported $size"
# The first export asks once for a rating: "No, thanks".
prompt=$(window_named "^Quillmark$")
focus "$prompt"
xdotool key Escape
window_gone "^Quillmark$"

# ---- A resize handle is taken 2 pixels beyond its drawn square on the large photo shown small.
eval "$(geometry "$doc")"
cx=$((X + CANVAS_X)) cy=$((Y + CANVAS_Y))
xdotool mousemove $((X + PHOTO_X)) $((Y + PHOTO_Y)) click 1 # the photo away from the box
sleep 0.3
xdotool mousemove $((X + PHOTO_X + 10)) $((Y + PHOTO_Y)) click 1 # deselects
sleep 0.5
shot 08-unselected
xdotool mousemove $((TEXT_X + TEXT_W / 2)) $((TEXT_Y + TEXT_H / 2)) click 1
sleep 0.7
shot 09-selected
read -r bw bh bx by <<<"$(diff_box 08-unselected 09-selected $cx $cy $CANVAS_W $CANVAS_H)"
[ "$bw" -gt 20 ] || fail "a click on the text box showed no selection"
# The right edge's handle is drawn about 7 pixels wide round the outline's middle.
hx=$((bx + bw - 4)) hy=$((by + bh / 2))
drag $((hx + 4)) "$hy" $((hx + 84)) "$hy"
sleep 0.5
shot 10-resized
read -r rw rh rx ry <<<"$(diff_box 08-unselected 10-resized $cx $cy $CANVAS_W $CANVAS_H)"
echo "smoke-app: selection ${bw}x${bh}+${bx}+${by}, after the handle drag ${rw}x${rh}+${rx}+${ry}"
[ "$rw" -ge $((bw + 60)) ] && [ "$((rx - bx))" -le 4 ] && [ "$((bx - rx))" -le 4 ] ||
  fail "the press 2 pixels beside the handle did not resize the box"

# ---- The Zoom slider is an edit: the title shows the mark, closing asks, the zoom reopens.
xdotool key ctrl+s
sleep 1
xdotool mousemove $((X + PHOTO_X)) $((Y + PHOTO_Y)) click 1
sleep 0.5
shot 11-clean
zoom_slider "$doc" 0 40
shot 12-zoomed
marked=$(changed_pixels 11-clean 12-zoomed $((X + WIDTH / 2 - 250)) $((Y + 5)) 300 35)
[ "${marked%%.*}" -gt 20 ] || fail "zooming did not mark the document edited"
focus "$doc"
xdotool key ctrl+w
question=$(window_named "^Quillmark$")
focus "$question"
xdotool key Return # "Save", the default
window_gone "^smoke"
welcome=$(window_named "Welcome to Quillmark")
focus "$welcome"
xdotool key ctrl+o
choose_file "Open" "$out/smoke.quillmark"
doc=$(window_named "^smoke")
sleep 2.5
shot 13-reopened-zoomed
eval "$(geometry "$doc")"
cx=$((X + CANVAS_X)) cy=$((Y + CANVAS_Y))
still=$(changed_pixels 12-zoomed 13-reopened-zoomed $cx $cy $CANVAS_W $CANVAS_H)
[ "${still%%.*}" -lt 2000 ] || fail "the document did not reopen zoomed as it was saved ($still)"

# ---- The mask follows the picture: a dab over the start of the text at 40 % zoom hides part of
# it; zoomed out, the picture and its mask shrink towards the middle while the boxes stay, so
# another part of the text is hidden (a mask left in place would hide the very same pixels).
read -r tw th tx ty <<<"$(convert "$out/13-reopened-zoomed.png" -crop "${CANVAS_W}x${CANVAS_H}+$cx+$cy" \
  +repage -colorspace Gray -threshold 7% -negate -trim -format '%w %h %X %Y' info: | tr -d +)"
text_before=$(dark_pixels 13-reopened-zoomed $cx $cy $CANVAS_W $CANVAS_H)
[ "$text_before" -gt 200 ] || fail "no text to paint over ($text_before dark pixels)"
xdotool mousemove $((X + MASK_X)) $((Y + MASK_Y)) click 1
sleep 0.8
shot 14a-mask-mode
# The brush's controls on the dark sidebar: the "Show mask in red" tick's title is light.
eval "$(geometry "$doc")"
bright=$(bright_pixels 14a-mask-mode $((X + RED_MASK_X + 12)) $((Y + RED_MASK_Y - 10)) 160 20)
# Ticked, its box shows the tick: light pixels on the dark box. Then off again.
xdotool mousemove $((X + RED_MASK_X)) $((Y + RED_MASK_Y)) click 1
sleep 0.8
shot 14b-red-mask
ticked=$(bright_pixels 14b-red-mask $((X + RED_MASK_X - 4)) $((Y + RED_MASK_Y - 4)) 9 9)
box=$(bright_pixels 14a-mask-mode $((X + RED_MASK_X - 4)) $((Y + RED_MASK_Y - 4)) 9 9)
xdotool mousemove $((X + RED_MASK_X)) $((Y + RED_MASK_Y)) click 1
sleep 0.8
echo "smoke-app: 'Show mask in red' title $bright light pixels, its box $box light, ticked $ticked"
[ "$bright" -gt 60 ] || fail "the 'Show mask in red' title is barely visible ($bright light pixels)"
[ "$ticked" -gt $((box + 8)) ] || fail "the red-mask tick does not show ($box, ticked $ticked)"
drag $((cx + tx - 4)) $((cy + ty + th / 2)) $((cx + tx + tw / 4)) $((cy + ty + th / 2))
sleep 1
xdotool mousemove $((X + BOXES_X)) $((Y + BOXES_Y)) click 1
sleep 1
shot 14-painted
text_painted=$(dark_pixels 14-painted $cx $cy $CANVAS_W $CANVAS_H)
zoom_slider "$doc" 40 0
shot 15-painted-zoomed
text_zoomed=$(dark_pixels 15-painted-zoomed $cx $cy $CANVAS_W $CANVAS_H)
echo "smoke-app: dark text pixels $text_before, with a dab $text_painted, zoomed out $text_zoomed"
[ "$text_painted" -lt $((text_before * 9 / 10)) ] || fail "the dab hid none of the text"
moved=$((text_zoomed - text_painted))
[ "${moved#-}" -gt $((text_before / 10)) ] ||
  fail "zoomed out, the same text stayed hidden: the mask did not follow the picture"

# ---- The edit commands as a person uses them: a shape from the picker and a picture box, then
# copy and paste, bring to front, delete and a dropped photo, each undone again. Every step
# must change the canvas, and its undo must put back what was there (but for the selection).
canvas_changed() { changed_pixels "$1" "$2" $cx $cy $CANVAS_W $CANVAS_H; }
# Runs a step (the arguments after the name), then checks that it changed the canvas and that
# one Ctrl+Z puts the canvas back; the step is redone with Ctrl+Shift+Z when asked.
step_and_undo() {
  local name="$1" keep="$2"
  shift 2
  shot "$name-before"
  "$@"
  sleep 1
  shot "$name"
  local did undone
  did=$(canvas_changed "$name-before" "$name")
  [ "${did%%.*}" -gt 300 ] || fail "$name changed nothing on the canvas ($did pixels)"
  focus "$doc"
  xdotool key ctrl+z
  sleep 1
  shot "$name-undone"
  undone=$(canvas_changed "$name-before" "$name-undone")
  echo "smoke-app: $name changed $did pixels, its undo left $undone"
  # The selection's handles may differ (undo leaves nothing selected); the step itself not.
  [ "${undone%%.*}" -lt $((${did%%.*} / 2)) ] || fail "undo did not take $name back ($undone)"
  if [ "$keep" = keep ]; then
    xdotool key ctrl+shift+z
    sleep 1
  fi
}
add_shape() {
  select_at $((X + PHOTO_X)) $((Y + PHOTO_Y))
  xdotool mousemove $((X + SHAPE_BUTTON_X)) $((Y + TEXT_BUTTON_Y)) click 1
  sleep 0.8
  shot 16a-picker
  xdotool mousemove $((X + SHAPE_BUTTON_X - 132 + PICKER_RECT_X)) \
    $((Y + BUTTON_BOTTOM + PICKER_RECT_Y)) click 1
}
add_picture_box() {
  # Nothing selected: the sidebar shows the picture's controls with the new-box buttons.
  select_at $((X + PHOTO_X)) $((Y + PHOTO_Y))
  xdotool mousemove $((X + PICTURE_BUTTON_X)) $((Y + TEXT_BUTTON_Y)) click 1
  choose_file "Select image file" "$box_photo"
}
press() { focus "$doc"; xdotool key "$@"; }
# The window's Arrange menu, then its first item, "Bring to Front".
arrange_first() {
  xdotool mousemove $((X + ARRANGE_X)) $((Y + MENU_Y)) click 1
  sleep 0.3
  xdotool key Down Return
}
select_at() { xdotool mousemove "$1" "$2" click 1; sleep 0.5; }
drop_photo() { focus "$doc"; xdotool key ctrl+alt+shift+d; sleep 1.5; }

eval "$(geometry "$doc")"
cx=$((X + CANVAS_X)) cy=$((Y + CANVAS_Y))
step_and_undo 16-picture-box keep add_picture_box
step_and_undo 17-shape keep add_shape
# The new shape is selected, over the picture: copy and paste it, 10 right and lower.
step_and_undo 18-pasted no press ctrl+c ctrl+v
# The picture box, under the shape, comes to the front and covers it.
select_at $((X + CANVAS_CX - 150)) $((Y + CANVAS_CY + 100))
shot 19-picture-selected
step_and_undo 20-to-front no arrange_first
step_and_undo 21-deleted no press Delete
step_and_undo 22-dropped no drop_photo

# ---- The inspector as a person uses it, on a new text box over the picture box: the Font
# panel's face, size, bold and underline (each turned off again), then a stroke, a drop shadow
# and a curve, each undone, and a red text colour. Controls are found with the test geometry
# key; the panel stack is scrolled with the mouse wheel to bring each into view.
# Sets GX GY GW GH (screen) for a named control, scrolled wholly into view.
control_at() {
  local name="$1" n line view shown
  for _ in $(seq 1 30); do
    # The key's answer ends with the panel stack's line.
    n=$(grep -c '^geometry panelScrollView ' "$work/log" || true)
    focus_quietly
    xdotool key ctrl+alt+shift+g
    for _ in $(seq 1 50); do
      [ "$(grep -c '^geometry panelScrollView ' "$work/log" || true)" -gt "$n" ] && break
      sleep 0.1
    done
    line=$(grep "^geometry $name " "$work/log" | tail -1)
    view=$(grep "^geometry panelScrollView " "$work/log" | tail -1)
    read -r _ _ GX GY GW GH shown <<<"$line"
    read -r _ _ VX VY VW VH _ <<<"$view"
    [ "${GW:-0}" -gt 0 ] || fail "the inspector shows no $name"
    [ "$shown" = 1 ] && return 0
    # Three wheel steps towards it, over the panel stack.
    xdotool mousemove $((VX + VW / 2)) $((VY + VH / 2))
    if [ "$GY" -lt "$VY" ]; then
      xdotool click 4 click 4 click 4
    else
      xdotool click 5 click 5 click 5
    fi
    sleep 0.3
  done
  fail "could not scroll $name into view"
}
# The keyboard to the document window without moving the pointer onto the canvas.
focus_quietly() { xdotool windowfocus "$doc" 2>/dev/null || true; }
# A click in the middle of a named control.
click_control() {
  control_at "$1"
  xdotool mousemove $((GX + GW / 2)) $((GY + GH / 2)) click 1
  sleep 0.5
}
# Types a value into a named field and presses Return.
type_into() {
  control_at "$1"
  xdotool mousemove $((GX + GW / 2)) $((GY + GH / 2)) click 1
  sleep 0.2
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
  xdotool key Return
  sleep 1
}
# A click on segment i of n of a named segmented control.
click_segment() {
  control_at "$1"
  xdotool mousemove $((GX + GW * (2 * $2 + 1) / (2 * $3))) $((GY + GH / 2)) click 1
  sleep 1
}
# A colour chosen in the shared colour panel that a click on a named well opens: its HTML
# field, then OK.
choose_colour() {
  click_control "$1"
  local panel
  panel=$(window_named "^Colors$")
  focus "$panel"
  xdotool key alt+h ctrl+a
  xdotool type --delay 10 "$2"
  xdotool key Return
  window_gone "^Colors$"
  sleep 1
}
# Near-black pixels of the text region of a screenshot (the picture under it is lighter).
ink() { dark_pixels "$1" $IX $IY $IW $IH; }
# The bounding box "W H X Y" (screen) of the near-black pixels of the text region.
ink_box() {
  convert "$out/$1.png" -crop "${IW}x${IH}+$IX+$IY" +repage -colorspace Gray -threshold 7% \
    -negate -trim -format '%w %h %X %Y' info: | tr -d + |
    awk -v x=$IX -v y=$IY '{ print $1, $2, $3 + x, $4 + y }'
}
# Pixels whose red stands clear of green and blue.
red_pixels() {
  convert "$out/$1.png" -crop "$4x$5+$2+$3" +repage \
    -fx 'r > 0.55 && g < 0.3 && b < 0.3 ? 1 : 0' -format '%[fx:int(mean*w*h+0.5)]' info:
}
text_changed() { changed_pixels "$1" "$2" $IX $IY $IW $IH; }
# Edit > Undo from the window's menu: a field that has the keyboard keeps Ctrl+Z for its text.
undo_to() {
  xdotool mousemove $((X + EDIT_X)) $((Y + MENU_Y)) click 1
  sleep 0.3
  xdotool key Down Return
  sleep 1
  shot "$1-undone"
  local left
  left=$(text_changed "$2" "$1-undone")
  echo "smoke-app: $1 undone, $left pixels differ from before it"
  [ "${left%%.*}" -lt "$3" ] || fail "undo did not take $1 back ($left pixels differ)"
}

eval "$(geometry "$doc")"
# The picture box is selected: the shape over it goes, so the text has a plain backdrop.
select_at $((X + CANVAS_CX)) $((Y + CANVAS_CY))
press Delete
sleep 0.5
select_at $((X + PHOTO_X)) $((Y + PHOTO_Y))
add_text_box "$doc"
focus "$doc"
xdotool type --delay 30 "Quill"
select_at $((X + PHOTO_X)) $((Y + PHOTO_Y))
select_at $((X + CANVAS_CX)) $((Y + CANVAS_CY))
# Dragged up off the masked middle of the picture, onto the photo above the picture box.
drag $((X + CANVAS_CX)) $((Y + CANVAS_CY)) $((X + CANVAS_CX)) $((Y + CANVAS_CY - TEXT_LIFT))
sleep 0.5
# Round the text, above the picture box.
IX=$((X + CANVAS_CX - 300)) IY=$((Y + CANVAS_CY - TEXT_LIFT - 130)) IW=600 IH=170
shot 23-font-before
read -r iw ih ix iy <<<"$(ink_box 23-font-before)"
base_ink=$(ink 23-font-before)
echo "smoke-app: the new text's ink ${iw}x${ih}+${ix}+${iy}, $base_ink pixels"
[ "$base_ink" -gt 200 ] || fail "the new text box shows no text ($base_ink dark pixels)"

# The face: the popup's list opens, the serif face's name is typed to find it, Return.
click_control popupFonts
xdotool type --delay 20 "DejaVuSerif"
xdotool key Return
sleep 1
shot 24-face
face=$(text_changed 23-font-before 24-face)
echo "smoke-app: another face changed $face text pixels"
[ "${face%%.*}" -gt 300 ] || fail "choosing a face changed nothing ($face pixels)"
face_ink=$(ink 24-face)
# A larger size typed into the size field.
type_into fontSizeTextField 320
shot 25-size
size_ink=$(ink 25-size)
echo "smoke-app: ink at the first size $face_ink pixels, at 320 pt $size_ink"
[ "$size_ink" -gt $((face_ink * 6 / 5)) ] || fail "a larger size did not grow the text"
# Bold widens the ink; off again, the text is as it was.
style_on_off() {
  local name="$1" segment="$2"
  click_segment fontStyleSegmentedCtrl "$segment" 4
  shot "$name"
  click_segment fontStyleSegmentedCtrl "$segment" 4
  shot "$name-off"
  local on off
  on=$(text_changed 25-size "$name")
  off=$(text_changed 25-size "$name-off")
  echo "smoke-app: $name changed $on text pixels; pressed again, $off differ"
  [ "${on%%.*}" -gt 300 ] || fail "$name changed nothing ($on pixels)"
  [ "${off%%.*}" -lt 50 ] || fail "$name off did not restore the text ($off pixels)"
}
read -r sw sh sx sy <<<"$(ink_box 25-size)"
style_on_off 26-bold 0
bold_ink=$(ink 26-bold)
echo "smoke-app: bold ink $bold_ink pixels, regular $size_ink"
[ "$bold_ink" -gt $((size_ink * 11 / 10)) ] || fail "bold did not widen the ink"
# Underline draws a flat band under the text.
style_on_off 27-underline 2
read -r uw uh ux uy <<<"$(diff_box 25-size 27-underline $IX $IY $IW $IH)"
echo "smoke-app: underline ${uw}x${uh}+${ux}+${uy} under ink ${sw}x${sh}+${sx}+${sy}"
[ "$uw" -gt $((sw / 2)) ] && [ "$uh" -lt $((uw / 4)) ] && [ "$uy" -gt $((sy + sh / 2)) ] ||
  fail "underline drew no band under the text"

# A stroke: its colour in the colour panel, then its width.
shot 29-plain
choose_colour btStrokeColor "#ffd000"
shot 30-stroke-colour
type_into strokeSizeTextField 12
shot 31-stroke
read -r kw kh kx ky <<<"$(diff_box 29-plain 31-stroke $IX $IY $IW $IH)"
echo "smoke-app: stroke changed ${kw}x${kh}+${kx}+${ky} round ink ${sw}x${sh}+${sx}+${sy}"
[ "$kw" -ge "$sw" ] && [ "$kx" -le "$sx" ] && [ "$((kx + kw))" -ge "$((sx + sw))" ] ||
  fail "the stroke did not outline the text"
# A drop shadow: an offset, then a blur. Its ink shows below the text (the shadow's 90°).
type_into shadowOffsetTextField 40
shot 32-shadow-offset
type_into shadowBlurTextField 30
shot 33-shadow
read -r dw dh dx dy <<<"$(diff_box 31-stroke 32-shadow-offset $IX $IY $IW $IH)"
echo "smoke-app: shadow changed ${dw}x${dh}+${dx}+${dy} by ink ${sw}x${sh}+${sx}+${sy}"
[ "$dw" -gt $((sw / 2)) ] && [ $((dy + dh)) -gt $((sy + sh + 3)) ] ||
  fail "the shadow's ink is not below the text"
blurred=$(text_changed 32-shadow-offset 33-shadow)
[ "${blurred%%.*}" -gt 100 ] || fail "the shadow's blur changed nothing ($blurred pixels)"
# A curve moves the middle letters off the line the outer ones stand on.
type_into curveTextField 60
shot 34-curve
middle() {
  convert "$out/$1.png" -crop "$((sw / 3))x${IH}+$((sx + sw / 3))+$IY" +repage -colorspace Gray \
    -threshold 7% -negate -trim -format '%Y' info: | tr -d +
}
read -r cw ch cx cy <<<"$(diff_box 33-shadow 34-curve $IX $IY $IW $IH)"
m0=$(middle 33-shadow) m1=$(middle 34-curve)
echo "smoke-app: curve changed ${cw}x${ch}+${cx}+${cy}; middle letters' top $m0, curved $m1"
moved=$((m1 - m0))
[ "${moved#-}" -ge 3 ] || fail "the curve left the middle letters where they were"
# Each undone, last first.
undo_to 34-curve 33-shadow 60
undo_to 33-shadow 32-shadow-offset 60
undo_to 32-shadow-offset 31-stroke 60
undo_to 31-stroke 30-stroke-colour 60
undo_to 30-stroke-colour 29-plain 60

# The text colour: red from the colour panel makes the glyphs red.
choose_colour btFontColor "#ff0000"
shot 35-red
reds0=$(red_pixels 29-plain $sx $sy $sw $sh)
reds1=$(red_pixels 35-red $sx $sy $sw $sh)
echo "smoke-app: red text pixels $reds0, coloured $reds1"
[ "$reds1" -gt $((reds0 + size_ink / 2)) ] || fail "the red text colour did not make the glyphs red"
undo_to 35-red 29-plain 60

# ---- Typing in a second document: the clipboard keys, text from another program, the caret.
focus "$doc"
before=$(xdotool search --onlyvisible --name "Quillmark [0-9]" 2>/dev/null | tr '\n' ' ' || true)
xdotool key ctrl+n
choose_file "Select image file" "$photo"
doc=$(new_window_named "Quillmark [0-9]" "$before")
sleep 2
focus "$doc"
eval "$(geometry "$doc")"
cx=$((X + CANVAS_X)) cy=$((Y + CANVAS_Y))
add_text_box "$doc"
xdotool type --delay 30 "Copy me"
sleep 0.6
shot 16-typed
d1=$(dark_pixels 16-typed $cx $cy $CANVAS_W $CANVAS_H)
xdotool key ctrl+a ctrl+c
sleep 0.4
copied=$(timeout 5 xclip -o -selection clipboard 2>/dev/null || true)
primary=$(timeout 5 xclip -o -selection primary 2>/dev/null || true)
echo "smoke-app: Ctrl+A, Ctrl+C put '$copied' on the clipboard, '$primary' in the selection"
[ "$copied" = "Copy me" ] || fail "Ctrl+C left '$copied' on the clipboard"
[ "$primary" = "Copy me" ] || fail "the selected text is not the PRIMARY selection ('$primary')"
xdotool key End ctrl+v
sleep 0.6
shot 17-pasted
d2=$(dark_pixels 17-pasted $cx $cy $CANVAS_W $CANVAS_H)
printf 'xclip' | xclip -selection clipboard -i
sleep 0.3
xdotool key ctrl+a ctrl+v
sleep 0.6
shot 18-xclip-pasted
d3=$(dark_pixels 18-xclip-pasted $cx $cy $CANVAS_W $CANVAS_H)
read -r w3 _ x3 y3 <<<"$(text_box 18-xclip-pasted $cx $cy $CANVAS_W $CANVAS_H)"
# The box wraps its text: the ink, not the width, says how much text it holds.
echo "smoke-app: dark text pixels typed $d1, pasted after it $d2, xclip's text instead $d3"
[ "$d2" -gt $((d1 * 16 / 10)) ] || fail "Ctrl+V did not paste the copied text ($d1 -> $d2)"
[ "$d3" -gt $((d1 / 5)) ] && [ "$d3" -lt $((d2 * 6 / 10)) ] ||
  fail "the text from xclip did not replace the box's text ($d2 -> $d3)"

# The middle button pastes the PRIMARY selection (here another program's) where it is pressed.
printf 'mid' | xclip -selection primary -i
sleep 0.3
xdotool mousemove $((x3 + w3 / 2)) $((y3 + 10)) click 2
sleep 0.6
shot 18b-middle-pasted
d4=$(dark_pixels 18b-middle-pasted $cx $cy $CANVAS_W $CANVAS_H)
echo "smoke-app: the middle button pasted PRIMARY: dark text pixels $d3 -> $d4"
[ "$d4" -gt $((d3 * 13 / 10)) ] || fail "the middle button pasted nothing ($d3 -> $d4)"
xdotool key End

# The caret blinks at the end of the text, on this 5120-pixel photo shown at a sixth: of
# screenshots taken through a blink, one differs from the first in a thin upright line.
shot 19a-caret
kw=0 kh=0 kx=0 ky=0
for _ in 1 2 3 4 5 6; do
  sleep 0.2
  shot 19b-caret
  read -r kw kh kx ky <<<"$(diff_box 19a-caret 19b-caret $cx $cy $CANVAS_W $CANVAS_H thin)"
  [ "$kw" -gt 0 ] && break
done
echo "smoke-app: caret ${kw}x${kh} at $kx,$ky, the text ending at $((x3 + w3))"
[ "$kw" -ge 1 ] && [ "$kw" -le 4 ] && [ "$kh" -ge 10 ] || fail "no caret blinks (${kw}x${kh})"

# ---- Italic Arabic stays visible: a second line in Arabic, then Ctrl+I on the box.
xdotool key Return
xdotool type --delay 60 "مرحبا"
sleep 0.5
xdotool key Escape
sleep 0.5
shot 20-arabic
arabic=$(dark_pixels 20-arabic $cx $cy $CANVAS_W $CANVAS_H)
xdotool key ctrl+i
sleep 0.8
shot 21-arabic-italic
italic=$(dark_pixels 21-arabic-italic $cx $cy $CANVAS_W $CANVAS_H)
echo "smoke-app: dark text pixels upright $arabic, italic $italic"
[ "$arabic" -gt $((d3 * 13 / 10)) ] || fail "the Arabic line does not show ($d3 -> $arabic)"
[ "$italic" -gt $((arabic * 8 / 10)) ] || fail "italic lost the Arabic line ($arabic -> $italic)"

# ---- An arrow-key nudge: the selected box moves right by 10 picture pixels a press.
read -r _ _ ax ay <<<"$(text_box 21-arabic-italic $cx $cy $CANVAS_W $CANVAS_H)"
for _ in 1 2 3 4 5 6; do xdotool key shift+Right; done
sleep 0.6
shot 22-nudged
read -r _ _ nx ny <<<"$(text_box 22-nudged $cx $cy $CANVAS_W $CANVAS_H)"
echo "smoke-app: six Shift+Right moved the text from $ax,$ay to $nx,$ny"
[ $((nx - ax)) -ge 6 ] && [ $((ny - ay)) -le 1 ] && [ $((ay - ny)) -le 1 ] ||
  fail "the arrow keys did not move the selected box ($ax,$ay -> $nx,$ny)"

# ---- A picture with transparency: white, its alpha rising from a quarter at the left to
# opaque at the right. The export is what the screen shows: the picture on the canvas's
# backdrop.
convert -size 800x1200 gradient:'#404040-white' -rotate 90 "$work/ramp.png"
convert -size 1200x800 xc:white "$work/ramp.png" -alpha off -compose CopyOpacity -composite \
  "$work/alpha.png"
focus "$doc"
before=$(xdotool search --onlyvisible --name "Quillmark [0-9]" 2>/dev/null | tr '\n' ' ' || true)
xdotool key ctrl+n
choose_file "Select image file" "$work/alpha.png"
doc=$(new_window_named "Quillmark [0-9]" "$before")
sleep 2
eval "$(geometry "$doc")"
cx=$((X + CANVAS_X)) cy=$((Y + CANVAS_Y))
shot 23-alpha-screen
read -r pw ph px py <<<"$(convert "$out/23-alpha-screen.png" -crop "${CANVAS_W}x${CANVAS_H}+$cx+$cy" \
  +repage -colorspace Gray -threshold 25% -format '%@' info: | tr 'x+' '  ')"
[ "${pw:-0}" -gt 100 ] || fail "the picture with transparency does not show"
export_jpeg "$doc"
choose_file "Export JPEG image" "$out/alpha.jpg"
wait_for_file "$out/alpha.jpg"
convert "$out/23-alpha-screen.png" -crop "$((pw - 4))x$((ph - 4))+$((cx + px + 2))+$((cy + py + 2))" \
  +repage "$work/shown.png"
convert "$out/alpha.jpg" -resize "${pw}x${ph}!" -crop "$((pw - 4))x$((ph - 4))+2+2" +repage \
  "$work/exported.png"
worst=$({ compare -metric MAE "$work/shown.png" "$work/exported.png" null: 2>&1 || true; } |
  sed 's/.*(\(.*\)).*/\1/')
echo "smoke-app: transparent picture shown ${pw}x${ph}; export against the screen, mean error $worst"
awk -v e="$worst" 'BEGIN { exit !(e < 0.03) }' ||
  fail "the exported picture is not what the screen shows (mean error $worst)"

# ---- A held arrow key is one undo step: on a new text box, selected, Shift+Right held down for
# 1.2 s with X's key repeat on moves the box many times; one Ctrl+Z puts it back where it was.
held_arrow_key_is_one_undo() {
  xset r on
  focus "$doc"
  eval "$(geometry "$doc")"
  cx=$((X + CANVAS_X)) cy=$((Y + CANVAS_Y))
  add_text_box "$doc"
  xdotool type --delay 30 "Held"
  xdotool key Escape
  sleep 0.6
  shot 24-held-before
  local hw hh hx hy mx my bx by
  read -r hw hh hx hy <<<"$(text_box 24-held-before $cx $cy $CANVAS_W $CANVAS_H)"
  [ "$hw" -gt 0 ] || fail "the text to hold an arrow key on does not show"
  xdotool keydown shift+Right
  sleep 1.2
  xdotool keyup shift+Right
  sleep 0.8
  shot 25-held-moved
  read -r _ _ mx my <<<"$(text_box 25-held-moved $cx $cy $CANVAS_W $CANVAS_H)"
  xdotool key ctrl+z
  sleep 0.8
  shot 26-held-undone
  read -r _ _ bx by <<<"$(text_box 26-held-undone $cx $cy $CANVAS_W $CANVAS_H)"
  echo "smoke-app: Shift+Right held 1.2 s moved the text from $hx,$hy to $mx,$my; one Ctrl+Z" \
    "put it at $bx,$by"
  # Repeats come 25 a second after 0.66 s: several of them, 10 picture pixels each.
  [ $((mx - hx)) -ge 20 ] && [ $((my - hy)) -le 1 ] && [ $((hy - my)) -le 1 ] ||
    fail "the held arrow key did not move the box ($hx,$hy -> $mx,$my)"
  [ $((bx - hx)) -le 1 ] && [ $((hx - bx)) -le 1 ] && [ $((by - hy)) -le 1 ] &&
    [ $((hy - by)) -le 1 ] || fail "one Ctrl+Z did not take the held key back ($hx,$hy -> $bx,$by)"
}
held_arrow_key_is_one_undo

# ---- The frame and corner locks and a gradient well's first colour circle, pressed where they
# show. On a rounded rectangle from the picker (drawn in blue): the Frame lock pressed open, a
# typed width changes the width alone; the Corners lock pressed open, a typed radius rounds one
# corner alone. Then a text box's colour well takes a two-colour gradient from its menu, and a
# click on its first circle opens the colour panel.
# The box "W H X Y" (screen) of the blue shape's pixels of a screenshot, or of where two
# screenshots' blue pixels differ; "0 0 0 0" for none.
blue_box() {
  local box masks=()
  for name in "$@"; do
    convert "$out/$name.png" -crop "${CANVAS_W}x${CANVAS_H}+$cx+$cy" +repage -fuzz 25% \
      -fill black +opaque '#0000ff' -fill white -opaque '#0000ff' "$work/$name-blue.png"
    masks+=("$work/$name-blue.png")
  done
  if [ ${#masks[@]} -eq 2 ]; then
    box=$(convert "${masks[@]}" -compose difference -composite -format '%@' info: 2>/dev/null)
  else
    box=$(convert "${masks[0]}" -format '%@' info: 2>/dev/null)
  fi
  if [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 1 ]; then
    echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} $((BASH_REMATCH[3] + cx)) $((BASH_REMATCH[4] + cy))"
  else
    echo "0 0 0 0"
  fi
}
locks_and_gradient_well() {
  local rounded_x=132 # the picker's rounded rectangle, right of its rectangle
  eval "$(geometry "$doc")"
  cx=$((X + CANVAS_X)) cy=$((Y + CANVAS_Y))
  select_at $((X + PHOTO_X)) $((Y + PHOTO_Y))
  xdotool mousemove $((X + SHAPE_BUTTON_X)) $((Y + TEXT_BUTTON_Y)) click 1
  sleep 0.8
  xdotool mousemove $((X + SHAPE_BUTTON_X - 132 + rounded_x)) \
    $((Y + BUTTON_BOTTOM + PICKER_RECT_Y)) click 1
  sleep 1
  shot 41-rounded
  local w0 h0 x0 y0 w1 h1 x1 y1 kw kh kx ky
  read -r w0 h0 x0 y0 <<<"$(blue_box 41-rounded)"
  [ "$w0" -gt 20 ] || fail "no rounded rectangle was added from the picker"
  click_control btnFrameLock
  type_into frameWidthTextField 300
  shot 42-width-alone
  read -r w1 h1 x1 y1 <<<"$(blue_box 42-width-alone)"
  echo "smoke-app: the Frame lock opened, a typed width: ${w0}x${h0}+${x0}+${y0} -> ${w1}x${h1}+${x1}+${y1}"
  local dw=$((w1 - w0)) dh=$((h1 - h0))
  [ "${dw#-}" -gt 20 ] || fail "the typed width did not change the shape's width"
  [ "${dh#-}" -le 2 ] || fail "the width changed the height too: the Frame lock did not open"
  click_control btnRoundRectLock
  type_into cornerField0 400
  shot 43-one-corner
  read -r kw kh kx ky <<<"$(blue_box 42-width-alone 43-one-corner)"
  echo "smoke-app: the Corners lock opened, one radius: changed ${kw}x${kh}+${kx}+${ky} of ${w1}x${h1}"
  [ "$kw" -gt 3 ] || fail "the typed radius changed no corner"
  [ "$kw" -le $((w1 / 2 + 2)) ] && [ "$kh" -le $((h1 / 2 + 2)) ] ||
    fail "the typed radius rounded more than one corner: the Corners lock did not open"
  # A click on the shape gives the canvas the keyboard back from the field; Delete removes it.
  select_at $((x1 + w1 / 2)) $((y1 + h1 / 2))
  press Delete
  sleep 0.5

  # A text box, its colour well turned into a gradient through the well's menu (its third
  # item), then a click on the first circle.
  add_text_box "$doc"
  xdotool type --delay 30 "Well"
  select_at $((X + PHOTO_X)) $((Y + PHOTO_Y))
  select_at $((X + CANVAS_CX)) $((Y + CANVAS_CY))
  control_at btFontColor
  xdotool mousemove $((GX + GW - 12)) $((GY + 13)) click 1
  sleep 0.5
  xdotool key Down Down Down Return
  sleep 0.8
  shot 44-gradient-well
  xdotool search --onlyvisible --name "^Colors$" >/dev/null 2>&1 &&
    fail "the colour panel is open before the circle is clicked"
  # The first circle's middle: a quarter across the preview, which leaves room on the right
  # for the angle controls.
  xdotool mousemove $((GX + 5 + (GW - 135) / 4)) $((GY + 14)) click 1
  local panel
  panel=$(window_named "^Colors$")
  sleep 0.5
  shot 45-first-circle
  echo "smoke-app: a click on the gradient well's first circle opened the colour panel"
  focus "$panel"
  xdotool key Escape
  window_gone "^Colors$"
}
locks_and_gradient_well
