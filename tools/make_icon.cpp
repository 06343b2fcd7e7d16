// make_icon: writes Quillaro's 48x48, 256-colour window icon (.ico) to argv[1].
//
// The picture is a loudspeaker (magnet box + cone, dark outline) with three
// sound-wave arcs.  Shapes are described with signed distances, rendered with
// 8x8 supersampling and mapped onto a fixed palette of key colours plus blend
// steps between every pair of them, which gives anti-aliased edges.  Pixels
// less than half covered are transparent through the AND mask.
// The output is fully deterministic (no clocks, no randomness).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kSize = 48;
constexpr int kSub = 8;  // supersamples per pixel along each axis

struct Rgb {
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Key colours.  Palette index 0 is reserved for pure black, the colour of
// transparent pixels (the XOR image must be black where the mask is set).
constexpr Rgb kOutline{30, 34, 42};
constexpr Rgb kBoxDark{62, 72, 88};
constexpr Rgb kBoxLight{112, 124, 144};
constexpr Rgb kConeDark{150, 162, 180};
constexpr Rgb kConeLight{214, 222, 234};
constexpr Rgb kShine{248, 250, 253};
constexpr Rgb kWave{10, 132, 232};
constexpr Rgb kWaveDark{0, 80, 160};
constexpr std::array kKeys{kOutline, kBoxDark, kBoxLight, kConeDark, kConeLight,
                           kShine,   kWave,    kWaveDark};
constexpr int kBlendSteps = 6;  // intermediate shades between each key pair

std::array<Rgb, 256> makePalette(int& used) {
    std::array<Rgb, 256> pal{};  // unused tail stays black
    used = 1;                    // [0] = black
    for (const Rgb& k : kKeys) pal[used++] = k;
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        for (std::size_t j = i + 1; j < kKeys.size(); ++j)
            for (int s = 1; s <= kBlendSteps; ++s)
                pal[used++] = mix(kKeys[i], kKeys[j], s / double(kBlendSteps + 1));
    return pal;
}

std::uint8_t nearest(const std::array<Rgb, 256>& pal, int used, Rgb c) {
    int best = 1;
    double bestD = 1e30;
    for (int i = 1; i < used; ++i) {  // never 0: that is the transparent black
        double dr = pal[i].r - c.r, dg = pal[i].g - c.g, db = pal[i].b - c.b;
        double d = dr * dr + dg * dg + db * db;
        if (d < bestD) bestD = d, best = i;
    }
    return static_cast<std::uint8_t>(best);
}

// ---- geometry -------------------------------------------------------------

struct Pt {
    double x, y;
};

double segDist(Pt p, Pt a, Pt b) {
    double vx = b.x - a.x, vy = b.y - a.y, wx = p.x - a.x, wy = p.y - a.y;
    double t = std::clamp((wx * vx + wy * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(wx - vx * t, wy - vy * t);
}

// Signed distance to a simple polygon (negative inside).
template <std::size_t N>
double polyDist(Pt p, const std::array<Pt, N>& v) {
    double d = 1e30;
    bool inside = false;
    for (std::size_t i = 0, j = N - 1; i < N; j = i++) {
        d = std::min(d, segDist(p, v[j], v[i]));
        if ((v[i].y > p.y) != (v[j].y > p.y) &&
            p.x < (v[j].x - v[i].x) * (p.y - v[i].y) / (v[j].y - v[i].y) + v[i].x)
            inside = !inside;
    }
    return inside ? -d : d;
}

// Speaker silhouette (inner edge of the outline): magnet box then cone.
constexpr double kBoxLeft = 4, kBoxRight = 13.5, kBoxTop = 18, kBoxBottom = 30;
constexpr double kConeRight = 24, kConeTop = 7, kConeBottom = 41;
constexpr std::array<Pt, 6> kSpeaker{{{kBoxLeft, kBoxTop},
                                      {kBoxRight, kBoxTop},
                                      {kConeRight, kConeTop},
                                      {kConeRight, kConeBottom},
                                      {kBoxRight, kBoxBottom},
                                      {kBoxLeft, kBoxBottom}}};
constexpr double kOutlineWidth = 2.0;

// Sound waves: arcs around a point just right of the cone, ending in round caps.
constexpr Pt kWaveCentre{23, 24};
constexpr double kWaveHalfAngle = 0.80;  // radians
constexpr double kWaveWidth = 3.6;
constexpr std::array kWaveRadii{7.5, 14.5, 21.5};

double arcDist(Pt p, double radius) {
    double dx = p.x - kWaveCentre.x, dy = p.y - kWaveCentre.y;
    if (std::abs(std::atan2(dy, dx)) <= kWaveHalfAngle)
        return std::abs(std::hypot(dx, dy) - radius);
    double ex = kWaveCentre.x + radius * std::cos(kWaveHalfAngle);
    double ey = radius * std::sin(kWaveHalfAngle);
    return std::hypot(p.x - ex, std::abs(dy) - ey);
}

// Colour at one sample point, or false if the point is background.
bool sample(Pt p, Rgb& out) {
    double s = polyDist(p, kSpeaker);
    if (s <= 0) {
        if (std::abs(p.x - kBoxRight) <= 0.9) {
            out = kOutline;  // seam between box and cone
        } else if (p.x < kBoxRight) {
            out = mix(kBoxLight, kBoxDark, (p.y - kBoxTop) / (kBoxBottom - kBoxTop));
            if (p.y < kBoxTop + 2.2) out = mix(out, kShine, 0.55);  // top highlight
        } else {
            out = mix(kConeDark, kConeLight, (p.x - kBoxRight) / (kConeRight - kBoxRight));
            if (s > -1.3 && p.y < 24) out = mix(out, kShine, 0.7);  // upper rim glint
        }
        return true;
    }
    if (s <= kOutlineWidth) {
        out = kOutline;
        return true;
    }
    for (double r : kWaveRadii) {
        double d = arcDist(p, r);
        if (d <= kWaveWidth / 2) {
            out = d <= kWaveWidth / 2 - 0.7 ? kWave : kWaveDark;
            return true;
        }
    }
    return false;
}

void put16(std::vector<std::uint8_t>& o, unsigned v) {
    o.push_back(v & 0xFF);
    o.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<std::uint8_t>& o, std::uint32_t v) {
    put16(o, v & 0xFFFF);
    put16(o, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s out.ico\n", argv[0]);
        return 2;
    }

    int used = 0;
    const auto pal = makePalette(used);

    // Rows top-down here; flipped to bottom-up when written.
    std::array<std::array<std::uint8_t, kSize>, kSize> index{};
    std::array<std::array<bool, kSize>, kSize> clear{};
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            Rgb sum{0, 0, 0};
            int hits = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx) {
                    Rgb c;
                    if (sample({x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub}, c)) {
                        sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                        ++hits;
                    }
                }
            clear[y][x] = hits * 2 < kSub * kSub;
            index[y][x] = clear[y][x] ? 0 : nearest(pal, used, {sum.r / hits, sum.g / hits, sum.b / hits});
        }
    }

    constexpr std::uint32_t kColourBytes = kSize * kSize;
    constexpr std::uint32_t kMaskStride = ((kSize + 31) / 32) * 4;  // 8
    constexpr std::uint32_t kMaskBytes = kMaskStride * kSize;
    constexpr std::uint32_t kImageBytes = 40 + 256 * 4 + kColourBytes + kMaskBytes;

    std::vector<std::uint8_t> o;
    put16(o, 0), put16(o, 1), put16(o, 1);  // ICONDIR: reserved, type icon, count
    o.push_back(kSize), o.push_back(kSize), o.push_back(0), o.push_back(0);
    put16(o, 1), put16(o, 8), put32(o, kImageBytes), put32(o, 22);  // ICONDIRENTRY
    put32(o, 40), put32(o, kSize), put32(o, kSize * 2);             // BITMAPINFOHEADER
    put16(o, 1), put16(o, 8), put32(o, 0), put32(o, kColourBytes + kMaskBytes);
    for (int i = 0; i < 4; ++i) put32(o, 0);  // resolution, colours used/important
    for (const Rgb& c : pal) {
        o.push_back(static_cast<std::uint8_t>(std::lround(c.b)));
        o.push_back(static_cast<std::uint8_t>(std::lround(c.g)));
        o.push_back(static_cast<std::uint8_t>(std::lround(c.r)));
        o.push_back(0);
    }
    for (int y = kSize - 1; y >= 0; --y)
        for (int x = 0; x < kSize; ++x) o.push_back(index[y][x]);
    for (int y = kSize - 1; y >= 0; --y)
        for (std::uint32_t b = 0; b < kMaskStride; ++b) {
            std::uint8_t bits = 0;
            for (int k = 0; k < 8; ++k) {
                int x = int(b) * 8 + k;
                if (x < kSize && clear[y][x]) bits |= 0x80 >> k;
            }
            o.push_back(bits);
        }

    std::ofstream f(argv[1], std::ios::binary);
    f.write(reinterpret_cast<const char*>(o.data()), static_cast<std::streamsize>(o.size()));
    if (!f) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
