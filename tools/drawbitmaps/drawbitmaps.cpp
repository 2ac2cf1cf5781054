// drawbitmaps: draws the two logo bitmaps of the agreement dialog.
//
//   drawbitmaps <output-dir>
//
// Writes standard_logo.bmp (maker's logo, 12-colour palette) and beta_logo.bmp (slanted red
// "BETA", 31-colour palette) into <output-dir>. Both are 108 x 52, 8 bits per pixel, BI_RGB,
// bottom-up, with a one-pixel black border on a light grey ground, the size of the dialog's
// picture frame. The files in resources/ are this program's output, committed as made; rerun it
// only when the artwork should change. Standard library only, so it builds on any host.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 108;
constexpr int kHeight = 52;

struct Rgb {
    std::uint8_t r, g, b;
};

// An 8-bit indexed image, top-down in memory (row 0 is the top row); the writer flips it.
class Canvas {
  public:
    Canvas(int w, int h, std::uint8_t fill) : w_(w), h_(h), px_(static_cast<size_t>(w * h), fill) {}
    int width() const { return w_; }
    int height() const { return h_; }
    void set(int x, int y, std::uint8_t idx) {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) {
            px_[static_cast<size_t>(y * w_ + x)] = idx;
        }
    }
    std::uint8_t get(int x, int y) const { return px_[static_cast<size_t>(y * w_ + x)]; }

  private:
    int w_, h_;
    std::vector<std::uint8_t> px_;
};

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// BITMAPFILEHEADER + BITMAPINFOHEADER + RGBQUAD palette + bottom-up rows padded to 4 bytes.
bool write_bmp(const std::string& path, const Canvas& c, const std::vector<Rgb>& palette) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(c.width()) + 3u) & ~3u;
    const std::uint32_t image_size = stride * static_cast<std::uint32_t>(c.height());
    const std::uint32_t colours = static_cast<std::uint32_t>(palette.size());
    const std::uint32_t off_bits = 14 + 40 + 4 * colours;

    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, off_bits + image_size);  // bfSize
    put32(out, 0);                      // bfReserved1, bfReserved2
    put32(out, off_bits);               // bfOffBits

    put32(out, 40);  // biSize
    put32(out, static_cast<std::uint32_t>(c.width()));
    put32(out, static_cast<std::uint32_t>(c.height()));  // positive: bottom-up
    put16(out, 1);                                       // biPlanes
    put16(out, 8);                                       // biBitCount
    put32(out, 0);                                       // biCompression = BI_RGB
    put32(out, image_size);
    put32(out, 2835);  // 72 dpi, informative only
    put32(out, 2835);
    put32(out, colours);  // biClrUsed
    put32(out, 0);        // biClrImportant: all

    for (const Rgb& p : palette) {
        out.push_back(p.b);
        out.push_back(p.g);
        out.push_back(p.r);
        out.push_back(0);
    }
    for (int y = c.height() - 1; y >= 0; --y) {
        for (int x = 0; x < c.width(); ++x) {
            out.push_back(c.get(x, y));
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(c.width()); pad < stride; ++pad) {
            out.push_back(0);
        }
    }

    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f);
}

// How many palette entries at least one pixel uses; printed so an unused colour is noticed.
int used_colours(const Canvas& c, size_t palette_size) {
    std::vector<bool> used(palette_size, false);
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            if (c.get(x, y) < palette_size) {
                used[c.get(x, y)] = true;
            }
        }
    }
    int n = 0;
    for (bool u : used) {
        n += u ? 1 : 0;
    }
    return n;
}

constexpr std::uint8_t kBlack = 0;
constexpr std::uint8_t kGround = 1;

void draw_border(Canvas& c) {
    for (int x = 0; x < c.width(); ++x) {
        c.set(x, 0, kBlack);
        c.set(x, c.height() - 1, kBlack);
    }
    for (int y = 0; y < c.height(); ++y) {
        c.set(0, y, kBlack);
        c.set(c.width() - 1, y, kBlack);
    }
}

// ---------------------------------------------------------------------------------------------
// standard_logo.bmp

// A small proportional pixel font: 9 rows per glyph, rows 0-6 above the baseline (capitals are
// 5 x 7), rows 7-8 for descenders. Only the characters the logo needs.
using Glyph = std::array<const char*, 9>;

const std::map<char, Glyph>& font() {
    static const std::map<char, Glyph> glyphs = {
        {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####", ".....", "....."}},
        {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
        {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#", ".....", "....."}},
        {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#..", ".....", "....."}},
        {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####", ".....", "....."}},
        {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#", ".....", "....."}},
        {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".....", "....."}},
        {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###", "...", "..."}},
        {'e', {"....", "....", ".##.", "#..#", "####", "#...", ".###", "....", "...."}},
        {'c', {"....", "....", ".###", "#...", "#...", "#...", ".###", "....", "...."}},
        {'h', {"#...", "#...", "###.", "#..#", "#..#", "#..#", "#..#", "....", "...."}},
        {'n', {"....", "....", "###.", "#..#", "#..#", "#..#", "#..#", "....", "...."}},
        {'o', {"....", "....", ".##.", "#..#", "#..#", "#..#", ".##.", "....", "...."}},
        {'l', {"#", "#", "#", "#", "#", "#", "#", ".", "."}},
        {'g', {"....", "....", ".###", "#..#", "#..#", "#..#", ".###", "...#", ".##."}},
        {'i', {"#", ".", "#", "#", "#", "#", "#", ".", "."}},
        {'s', {"....", "....", ".###", "#...", ".##.", "...#", "###.", "....", "...."}},
        {',', {"..", "..", "..", "..", "..", "..", ".#", ".#", "#."}},
        {'.', {".", ".", ".", ".", ".", ".", "#", ".", "."}},
        {' ', {"..", "..", "..", "..", "..", "..", "..", "..", ".."}},
    };
    return glyphs;
}

int glyph_width(char ch) {
    return static_cast<int>(std::string(font().at(ch)[0]).size());
}

int text_width(const std::string& s, int scale, int gap) {
    int w = 0;
    for (char ch : s) {
        w += glyph_width(ch) * scale + gap;
    }
    return s.empty() ? 0 : w - gap;
}

// Calls plot(x, y, glyph_row) for every lit pixel of the string, top of capitals at `top`.
template <typename Plot>
void draw_text(const std::string& s, int left, int top, int scale, int gap, Plot plot) {
    int pen = left;
    for (char ch : s) {
        const Glyph& g = font().at(ch);
        const int w = glyph_width(ch);
        for (int row = 0; row < 9; ++row) {
            for (int col = 0; col < w; ++col) {
                if (g[static_cast<size_t>(row)][col] != '#') {
                    continue;
                }
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        plot(pen + col * scale + dx, top + row * scale + dy, row);
                    }
                }
            }
        }
        pen += w * scale + gap;
    }
}

void draw_standard_logo(const std::string& path) {
    enum : std::uint8_t {
        kNavy = 2,        // lower half of the lettering, diamond outline
        kDarkBlue = 3,    // upper half of the lettering, engraved rule, a facet
        kMidBlue = 4,     // facet
        kLightBlue = 5,   // facet
        kShadow = 6,      // lettering shadow
        kSoftShadow = 7,  // diamond shadow
        kWhite = 8,       // highlights
        kTextGrey = 9,    // "Technologies, Inc."
        kTeal = 10,       // facet
        kPale = 11,       // highlight fringe
    };
    const std::vector<Rgb> palette = {
        {0, 0, 0},       {192, 192, 192}, {0, 0, 64},      {0, 0, 128},
        {0, 64, 168},    {72, 136, 224},  {128, 128, 128}, {160, 160, 160},
        {255, 255, 255}, {56, 56, 56},    {0, 96, 128},    {224, 224, 224},
    };

    Canvas c(kWidth, kHeight, kGround);

    // The mark: a cut gem (diamond) with four shaded facets and a soft drop shadow.
    const int cx = 15, cy = 19, r = 11;
    for (int pass = 0; pass < 2; ++pass) {
        const int off = pass == 0 ? 2 : 0;  // shadow first, then the gem over it
        for (int y = cy - r; y <= cy + r; ++y) {
            for (int x = cx - r; x <= cx + r; ++x) {
                const int dx = x - cx, dy = y - cy;
                const int d = std::abs(dx) + std::abs(dy);
                if (d > r) {
                    continue;
                }
                std::uint8_t idx;
                if (pass == 0) {
                    idx = kSoftShadow;
                } else if (d == r) {
                    idx = kNavy;
                } else if (dx == 0 || dy == 0) {
                    idx = (dx < 0 || dy < 0) ? kPale : kDarkBlue;  // facet ridges
                } else if (dx < 0 && dy < 0) {
                    idx = kLightBlue;
                } else if (dx > 0 && dy < 0) {
                    idx = kMidBlue;
                } else if (dx < 0 && dy > 0) {
                    idx = kTeal;
                } else {
                    idx = kDarkBlue;
                }
                c.set(x + off, y + off, idx);
            }
        }
    }
    c.set(cx - 4, cy - 3, kWhite);  // glint on the lit facet
    c.set(cx - 3, cy - 4, kWhite);
    c.set(cx - 4, cy - 4, kWhite);

    // "LORVEX": capitals doubled, with a one-pixel shadow; dark blue fading to navy.
    const std::string name = "LORVEX";
    const int name_left = 32, name_top = 10, scale = 2, gap = 2;
    draw_text(name, name_left + 1, name_top + 1, scale, gap,
              [&](int x, int y, int) { c.set(x, y, kShadow); });
    draw_text(name, name_left, name_top, scale, gap,
              [&](int x, int y, int row) { c.set(x, y, row < 3 ? kDarkBlue : kNavy); });

    // An engraved rule (dark line over a white one) between name and subtitle.
    for (int x = 4; x <= 103; ++x) {
        c.set(x, 33, kDarkBlue);
        c.set(x, 34, kWhite);
    }

    const std::string sub = "Technologies, Inc.";
    const int sub_width = text_width(sub, 1, 1);
    draw_text(sub, (kWidth - sub_width) / 2, 38, 1, 1,
              [&](int x, int y, int) { c.set(x, y, kTextGrey); });

    draw_border(c);
    if (!write_bmp(path, c, palette)) {
        std::fprintf(stderr, "drawbitmaps: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::printf("%s: %zu colours, %d used\n", path.c_str(), palette.size(),
                used_colours(c, palette.size()));
}

// ---------------------------------------------------------------------------------------------
// beta_logo.bmp

// Letters are drawn as geometry in an upright frame (x right, y up from the baseline, in
// pixels), then sheared for the italic and sampled 8 x 8 per pixel; the coverage picks one of
// 29 blends between the grey ground and red.
constexpr double kCapHeight = 30.0;
constexpr double kHalfStroke = 2.6;
constexpr double kSlant = 0.25;  // x shift per pixel of height
constexpr int kShades = 29;      // palette: black, ground, 29 blends (the last is full red)

struct Point {
    double x, y;
};

double dist_to_segment(Point p, Point a, Point b) {
    const double vx = b.x - a.x, vy = b.y - a.y;
    const double wx = p.x - a.x, wy = p.y - a.y;
    const double len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? (wx * vx + wy * vy) / len2 : 0.0;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    const double dx = wx - t * vx, dy = wy - t * vy;
    return std::sqrt(dx * dx + dy * dy);
}

bool in_rect(Point p, double x0, double y0, double x1, double y1) {
    return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1;
}

// A bowl of the B: bars at y = yb and y = yt joined by a half circle on the right.
bool in_bowl(Point p, double x_start, double yb, double yt, double right) {
    const double t = kHalfStroke;
    const double rad = (yt - yb) / 2;
    const Point c{right - t - rad, (yb + yt) / 2};
    if (dist_to_segment(p, {x_start, yb}, {c.x, yb}) <= t ||
        dist_to_segment(p, {x_start, yt}, {c.x, yt}) <= t) {
        return true;
    }
    const double d = std::hypot(p.x - c.x, p.y - c.y);
    return p.x >= c.x && std::abs(d - rad) <= t;
}

constexpr double kWidthB = 20, kWidthE = 17, kWidthT = 19, kWidthA = 22;

bool in_letter(char ch, Point p) {
    const double t = kHalfStroke, h = kCapHeight, s = 2 * t;
    if (p.y < 0 || p.y > h) {
        return false;
    }
    switch (ch) {
        case 'B': {
            const double mid = 0.54 * h;
            return in_rect(p, 0, 0, s, h) || in_bowl(p, t, t, mid, kWidthB) ||
                   in_bowl(p, t, mid, h - t, kWidthB - 1.5);
        }
        case 'E': {
            const double mid = 0.54 * h;
            return in_rect(p, 0, 0, s, h) || in_rect(p, 0, 0, kWidthE, s) ||
                   in_rect(p, 0, h - s, kWidthE, h) || in_rect(p, 0, mid - t, kWidthE - 3, mid + t);
        }
        case 'T':
            return in_rect(p, 0, h - s, kWidthT, h) ||
                   in_rect(p, kWidthT / 2 - t, 0, kWidthT / 2 + t, h);
        case 'A': {
            const Point apex{kWidthA / 2, h - t};
            const double bar = 0.32 * h;
            return dist_to_segment(p, {t, -t}, apex) <= t ||
                   dist_to_segment(p, {kWidthA - t, -t}, apex) <= t ||
                   in_rect(p, 0.25 * kWidthA, bar - 0.85 * t, 0.75 * kWidthA, bar + 0.85 * t);
        }
        default:
            return false;
    }
}

void draw_beta_logo(const std::string& path) {
    const Rgb ground{192, 192, 192};
    const Rgb red{216, 0, 0};
    std::vector<Rgb> palette = {{0, 0, 0}, ground};
    for (int k = 1; k <= kShades; ++k) {
        const double a = static_cast<double>(k) / kShades;
        auto mix = [a](std::uint8_t g, std::uint8_t r) {
            return static_cast<std::uint8_t>(std::lround(g + (r - g) * a));
        };
        palette.push_back({mix(ground.r, red.r), mix(ground.g, red.g), mix(ground.b, red.b)});
    }

    struct Placed {
        char ch;
        double left;
    };
    const double gap = 3.0;
    const std::array<double, 4> widths = {kWidthB, kWidthE, kWidthT, kWidthA};
    const double total = widths[0] + widths[1] + widths[2] + widths[3] + 3 * gap;
    // Centre the sheared word: the slant moves the top right by kSlant * kCapHeight.
    const double origin = (kWidth - total - kSlant * kCapHeight) / 2;
    std::vector<Placed> letters;
    double pen = origin;
    const std::string word = "BETA";
    for (size_t i = 0; i < word.size(); ++i) {
        letters.push_back({word[i], pen});
        pen += widths[i] + gap;
    }
    const double baseline = (kHeight + kCapHeight) / 2;  // y of the baseline, pixels down

    Canvas c(kWidth, kHeight, kGround);
    constexpr int kSub = 8;
    for (int py = 0; py < kHeight; ++py) {
        for (int px = 0; px < kWidth; ++px) {
            int hits = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const double y = baseline - (py + (sy + 0.5) / kSub);
                    const double x = px + (sx + 0.5) / kSub - kSlant * y;
                    for (const Placed& l : letters) {
                        if (in_letter(l.ch, {x - l.left, y})) {
                            ++hits;
                            break;
                        }
                    }
                }
            }
            const long level = std::lround(static_cast<double>(hits) * kShades / (kSub * kSub));
            if (level > 0) {
                c.set(px, py, static_cast<std::uint8_t>(kGround + level));
            }
        }
    }

    draw_border(c);
    if (!write_bmp(path, c, palette)) {
        std::fprintf(stderr, "drawbitmaps: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::printf("%s: %zu colours, %d used\n", path.c_str(), palette.size(),
                used_colours(c, palette.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawbitmaps <output-dir>\n");
        return 2;
    }
    const std::string dir = argv[1];
    draw_standard_logo(dir + "/standard_logo.bmp");
    draw_beta_logo(dir + "/beta_logo.bmp");
    return 0;
}
