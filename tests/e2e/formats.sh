#!/usr/bin/env bash
# The newer formats through the real program: HEIC, AVIF, JPEG XL, SVG, TGA and camera
# raw shown one a tick (named as other formats, the bytes decide); animated GIF, WebP,
# APNG, AVIF and JPEG XL seen to move; a slide show of animations keeping its pace.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
MAKE_PICTURES=$(realpath -e "${4:?path of make_pictures}") || abort "no make_pictures at $4"
for tool in heif-enc avifenc cjxl img2webp; do
  command -v "$tool" >/dev/null || abort "$tool is not installed (scripts/setup.sh)"
done

# ---- stills --------------------------------------------------------------
solid red.png red 400 300
solid green.png '#00ff00' 400 300
solid blue.png blue 400 300
(cd "$WORK" && heif-enc -q 90 -o photo-heic.jpg red.png >/dev/null) || abort "heif-enc failed"
(cd "$WORK" && avifenc -s 10 green.png picture-avif.jpg >/dev/null) || abort "avifenc failed"
(cd "$WORK" && cjxl blue.png picture-jxl.png >/dev/null 2>&1) || abort "cjxl failed"
printf '<svg xmlns="http://www.w3.org/2000/svg" width="40" height="30"><rect width="40" height="30" fill="#f00"/></svg>' \
  >"$WORK/drawing.txt"
"$CONVERT" "$WORK/green.png" "$WORK/picture.tga" || abort "no TGA made"
"$MAKE_PICTURES" "$WORK" || abort "make_pictures failed"

ini False 1200 False
start_viewer photo-heic.jpg picture-avif.jpg picture-jxl.png drawing.txt picture.tga raw.dng \
  preview.dng
old="Mirvane"
for step in photo-heic.jpg:red picture-avif.jpg:green picture-jxl.png:blue drawing.txt:red \
  picture.tga:green raw.dng:blue preview.dng:red; do
  name=${step%:*}
  next_step "$old" "Mirvane [$name]" "${step#*:}" 6000
  shot_window "format-${name//./-}" >/dev/null
  old="Mirvane [$name]"
done
stop_viewer

# ---- animations ----------------------------------------------------------
"$CONVERT" -delay 25 -loop 0 "$WORK/red.png" "$WORK/green.png" "$WORK/blue.png" "$WORK/anim.gif"
(cd "$WORK" && img2webp -loop 0 -lossy -d 250 red.png green.png blue.png -o anim.webp >/dev/null 2>&1) ||
  abort "img2webp failed"
(cd "$WORK" && avifenc -s 10 frames.y4m anim.avif >/dev/null) || abort "avifenc (sequence) failed"
(cd "$WORK" && cjxl anim.gif anim.jxl >/dev/null 2>&1) || abort "cjxl (animation) failed"

# colours_seen MS: the distinct colours at the centre over MS milliseconds.
colours_seen() {
  local end=$(($(now_ms) + $1)) seen=" "
  while (($(now_ms) < end)); do
    local c
    c=$(colours_at "$CENTRE")
    [[ "$seen" == *" $c "* ]] || seen+="$c "
    sleep 0.03
  done
  echo "$seen"
}

for anim in anim.gif anim.webp anim.apng anim.avif anim.jxl; do
  # One name: shown at the first tick, then the show stops and the animation plays on.
  ini False 300 False
  start_viewer "$anim"
  if wait_caption "Mirvane [$anim]" 6000; then
    seen=$(colours_seen 2000)
    check "$anim moves (colours seen:$seen)" \
      test "$(wc -w <<<"$seen")" -ge 3 -a -n "$(grep -o green <<<"$seen")"
  else
    not_ok "$anim never shown"
  fi
  stop_viewer
done

# The show moves on at its interval while animations play.
ini False 1000 False
start_viewer anim.gif anim.apng anim.webp red.png
next_step "Mirvane" "Mirvane [anim.gif]" red 6000
before=$STEP_MS
for name in anim.apng anim.webp; do
  if wait_caption "Mirvane [$name]" 3000; then
    gap=$((CAPTION_MS - before))
    check "$name follows after one interval (${gap} ms, interval 1000)" test "$gap" -ge 800 -a "$gap" -le 1700
    before=$CAPTION_MS
  else
    not_ok "the show did not move on to $name"
  fi
done
next_step "Mirvane [anim.webp]" "Mirvane [red.png]" red 3000
finish
