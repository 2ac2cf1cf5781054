#!/usr/bin/env bash
# Tells from a dialog screenshot which bitmap the agreement dialog painted in its picture frame.
#
#   tests/wine/check_frame_pixels.sh IMAGE X Y W H
#
# X Y W H is the frame rectangle in the image's pixels, as setuphost prints it ("frame: x y w h").
# The bitmap (108 x 52, one-pixel black border on a light grey ground) is drawn at its natural size
# from the frame's top-left corner, clipped to the frame.  Prints key: value lines:
#   frame-corner-top-left / frame-corner-bottom-right: black | rgb(r,g,b)   (the bitmap's border)
#   frame-red-pixels, frame-grey-pixels: counts inside the bitmap's area
#   frame-variant: beta (red lettering) | standard (border and grey, no red) | no-bitmap
# Exit 0 when the image could be read, 2 otherwise.  Needs ImageMagick's convert.
set -u
if [ $# -ne 5 ]; then
    sed -n '2,13p' "$0" >&2
    exit 2
fi
img=$1 fx=$2 fy=$3 fw=$4 fh=$5
for v in "$fx" "$fy" "$fw" "$fh"; do
    case $v in '' | *[!0-9]*)
        echo "check_frame_pixels: not a pixel count: $v" >&2
        exit 2
        ;;
    esac
done
bw=$((fw < 108 ? fw : 108))
bh=$((fh < 52 ? fh : 52))
if [ "$bw" -eq 0 ] || [ "$bh" -eq 0 ]; then
    echo "check_frame_pixels: empty frame" >&2
    exit 2
fi
clipped=$((bw < 108 || bh < 52))

# One "x,y: (r,g,b..." line per pixel of the bitmap's area, 8 bits per channel.
pixels=$(convert "$img" -crop "${bw}x${bh}+${fx}+${fy}" +repage -depth 8 -colorspace sRGB txt:- 2>/dev/null) ||
    {
        echo "check_frame_pixels: cannot read $img" >&2
        exit 2
    }

awk -v bw="$bw" -v bh="$bh" -v clipped="$clipped" '
    function name(r, g, b) {
        return (r <= 40 && g <= 40 && b <= 40) ? "black" : sprintf("rgb(%d,%d,%d)", r, g, b)
    }
    /^[0-9]+,[0-9]+:/ {
        split($1, xy, /[,:]/)
        x = xy[1] + 0; y = xy[2] + 0
        c = $2; gsub(/[()]/, "", c); split(c, v, ",")
        r = v[1] + 0; g = v[2] + 0; b = v[3] + 0
        n++
        # Red lettering: a strong red channel with little green and blue.
        if (r >= 150 && g <= 90 && b <= 90) red++
        # The ground: light grey, each channel near 192.
        if (r >= 180 && r <= 204 && g >= 180 && g <= 204 && b >= 180 && b <= 204 &&
            r - g <= 6 && g - r <= 6 && r - b <= 6 && b - r <= 6) grey++
        if (x == 0 && y == 0) tl = name(r, g, b)
        if (x == bw - 1 && y == bh - 1) br = name(r, g, b)
    }
    END {
        if (n != bw * bh) { print "check_frame_pixels: area outside the image" > "/dev/stderr"; exit 2 }
        print "frame-corner-top-left: " tl
        print "frame-corner-bottom-right: " (clipped ? "clipped" : br)
        print "frame-red-pixels: " red + 0
        print "frame-grey-pixels: " grey + 0
        bitmap = tl == "black" && (clipped || br == "black") && grey * 3 >= n
        # A slanted word of capitals in a 108 x 52 bitmap covers hundreds of pixels; a few red
        # pixels would be anti-aliasing or noise, not the beta lettering.
        variant = !bitmap ? "no-bitmap" : (red >= 50 ? "beta" : "standard")
        print "frame-variant: " variant
    }' <<<"$pixels"
