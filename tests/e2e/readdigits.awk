# readdigits.awk -- reads a number off a strip of a screenshot for
# replay_e2e.sh: input the strip's yellowness (0 to 255), 66 by 10 pixels, one
# value a line; `shapes` names the file of the ten digit shapes (64 values a
# line). Prints the digits up to the first cell without ink.
BEGIN {
    d = 0
    while ((getline line < shapes) > 0) {
        split(line, v, " ")
        for (i = 1; i <= 64; ++i)
            shape[d, i - 1] = v[i]
        ++d
    }
}
{ ink[n++] = $1 }

# Correlation of digit d with the 8x8 window at column x0, row y0 of the strip.
function likeness(d, x0, y0,    r, c, a, b, sa, sb, saa, sbb, sab, va, vb) {
    sa = sb = saa = sbb = sab = 0
    for (r = 0; r < 8; ++r)
        for (c = 0; c < 8; ++c) {
            a = shape[d, r * 8 + c]
            b = ink[(r + y0) * 66 + c + x0]
            sa += a; sb += b; saa += a * a; sbb += b * b; sab += a * b
        }
    va = saa - sa * sa / 64
    vb = sbb - sb * sb / 64
    return va > 0 && vb > 0 ? (sab - sa * sb / 64) / sqrt(va * vb) : -1
}

END {
    out = ""
    for (cell = 0; cell < 8; ++cell) {
        peak = 0
        for (r = 1; r <= 8; ++r)
            for (c = 1; c <= 8; ++c)
                if (ink[r * 66 + cell * 8 + c] > peak)
                    peak = ink[r * 66 + cell * 8 + c]
        if (peak < 60)
            break
        best = -2
        for (d = 0; d < 10; ++d)
            for (y0 = 0; y0 <= 2; ++y0)
                for (x0 = 0; x0 <= 2; ++x0) {
                    s = likeness(d, cell * 8 + x0, y0)
                    if (s > best) { best = s; digit = d }
                }
        if (best < 0.6)
            break
        out = out digit
    }
    print out
}
