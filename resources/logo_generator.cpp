// Draws the club logo printed in the report headers and writes it as a JPEG
// of 422 x 386 pixels: a navy shield with a ball in the upper field, a green
// lower field with three gold stars and two white chevrons.
//
// Run once by hand when the logo changes; logo.jpg is kept in the tree:
//   g++ -std=c++20 -O2 resources/logo_generator.cpp -ljpeg -o /tmp/logo_generator
//   /tmp/logo_generator resources/logo.jpg
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>  // needs size_t and FILE declared first

namespace {

constexpr int kWidth = 422;
constexpr int kHeight = 386;
constexpr int kSamples = 4;  // per axis, for smooth edges

struct Rgb {
    double r, g, b;
};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kNavy{27, 42, 94};
constexpr Rgb kGreen{30, 123, 58};
constexpr Rgb kGold{232, 182, 40};
constexpr Rgb kBlack{20, 20, 24};

struct Point {
    double x, y;
};

bool insidePolygon(const std::vector<Point>& poly, double x, double y) {
    bool in = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Point& a = poly[i];
        const Point& b = poly[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

std::vector<Point> star(double cx, double cy, double outer, double inner, int points, double turn) {
    std::vector<Point> p;
    for (int i = 0; i < 2 * points; ++i) {
        double r = (i % 2 == 0) ? outer : inner;
        double a = turn + i * M_PI / points;
        p.push_back({cx + r * std::sin(a), cy - r * std::cos(a)});
    }
    return p;
}

double distanceToSegment(Point p, Point a, Point b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Half the shield's width at height y: straight sides, then an elliptic
// curve down to the point.
double shieldHalfWidth(double y, double top, double shoulder, double bottom, double half) {
    if (y < top || y > bottom) return -1;
    if (y <= shoulder) return half;
    double t = (y - shoulder) / (bottom - shoulder);
    return half * std::sqrt(std::max(0.0, 1 - t * t));
}

class Logo {
public:
    Logo() {
        for (int i = 0; i < 5; ++i) {
            double a = i * 2 * M_PI / 5;
            pentagon_.push_back({ballX_ + 26 * std::sin(a), ballY_ - 26 * std::cos(a)});
        }
        for (int i = 0; i < 3; ++i) stars_.push_back(star(141 + i * 70, 246 + (i == 1 ? -8 : 0), 22, 9, 5, 0));
    }

    Rgb colourAt(double x, double y) const {
        const double cx = kWidth / 2.0;
        double half = shieldHalfWidth(y, 14, 200, 374, 160);
        if (half < 0 || std::fabs(x - cx) > half) return kWhite;
        // The border: inside the outline, within 11 pixels of it.
        double innerHalf = shieldHalfWidth(y, 25, 200, 360, 149);
        if (innerHalf < 0 || std::fabs(x - cx) > innerHalf) return kNavy;
        if (y < 204) return upperField(x, y);
        if (y < 212) return kWhite;  // the band between the fields
        return lowerField(x, y);
    }

private:
    Rgb upperField(double x, double y) const {
        double d = std::hypot(x - ballX_, y - ballY_);
        if (d > ballR_ + 4) return kNavy;
        if (d > ballR_) return kBlack;
        if (insidePolygon(pentagon_, x, y)) return kBlack;
        // Seams from each corner of the pentagon to the rim.
        for (const Point& c : pentagon_) {
            Point rim{ballX_ + (c.x - ballX_) * ballR_ / 26, ballY_ + (c.y - ballY_) * ballR_ / 26};
            if (distanceToSegment({x, y}, c, rim) < 2.5) return kBlack;
        }
        return kWhite;
    }

    Rgb lowerField(double x, double y) const {
        for (const auto& s : stars_)
            if (insidePolygon(s, x, y)) return kGold;
        // Two chevrons pointing up, below the stars.
        const double cx = kWidth / 2.0;
        for (double apex : {290.0, 318.0}) {
            double along = apex + std::fabs(x - cx) * 0.45;
            if (y > along && y < along + 12) return kWhite;
        }
        return kGreen;
    }

    double ballX_ = kWidth / 2.0, ballY_ = 112, ballR_ = 70;
    std::vector<Point> pentagon_;
    std::vector<std::vector<Point>> stars_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
        return 2;
    }
    Logo logo;
    std::vector<unsigned char> pixels(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            Rgb sum{0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    Rgb c = logo.colourAt(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            unsigned char* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
            constexpr double n = kSamples * kSamples;
            p[0] = static_cast<unsigned char>(std::lround(sum.r / n));
            p[1] = static_cast<unsigned char>(std::lround(sum.g / n));
            p[2] = static_cast<unsigned char>(std::lround(sum.b / n));
        }
    }

    FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &pixels[static_cast<size_t>(cinfo.next_scanline) * kWidth * 3];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
    return 0;
}
