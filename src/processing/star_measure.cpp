#include "processing/star_measure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// A sampled star is the star's light spread over each pixel's square: its
// profile is the star's, blurred by a one-pixel box. For the HFD and FWHM of
// the star itself, the box's share (its variance, 1/12 a pixel squared on
// each axis, times the Gaussian's diameter-to-sigma factor squared) is taken
// off in quadrature; it matters only for stars a few pixels across. Spreading
// the samples again over their cells adds a second box; the interpolation
// used for small stars adds about 0.7 of one (measured on Gaussian and
// Moffat stars of HFD 2 to 5 at every sub-pixel offset).
constexpr double pixel_box_share = 2.3548200450309493 * 2.3548200450309493 / 12.0;

double without_pixel_box(double d, double boxes)
{
    return std::sqrt(std::max(d * d - boxes * pixel_box_share, 0.25 * d * d));
}

struct Stats {
    double mean = 0;
    double sigma = 0;
    std::size_t count = 0;
};

// Mean and spread of the background: from the median, three rounds of
// dropping what lies more than three sigma away, so stars and hot pixels in
// the ring do not lift it.
Stats clipped_stats(std::vector<float>& v)
{
    Stats s;
    if (v.empty())
        return s;
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    double centre = *mid;
    double sum2 = 0;
    for (float x : v)
        sum2 += (x - centre) * (x - centre);
    double sigma = std::sqrt(sum2 / static_cast<double>(v.size()));
    for (int round = 0; round < 3; ++round) {
        const double limit = 3.0 * sigma + 0.5;
        double sum = 0, sq = 0;
        std::size_t n = 0;
        for (float x : v)
            if (std::fabs(x - centre) <= limit) {
                sum += x;
                sq += static_cast<double>(x) * x;
                ++n;
            }
        if (n == 0)
            break;
        const double mean = sum / static_cast<double>(n);
        centre = mean;
        sigma = std::sqrt(std::max(sq / static_cast<double>(n) - mean * mean, 0.0));
        s.count = n;
    }
    s.mean = centre;
    s.sigma = sigma;
    return s;
}

class Sampler {
public:
    explicit Sampler(const StarFrame& f)
        : f_(f)
    {
    }
    int at(int x, int y) const { return f_.data[static_cast<std::size_t>(y) * f_.width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < f_.width && y < f_.height; }
    double pitch() const { return f_.row_pitch; }
    const StarFrame& frame() const { return f_; }
    // Rows from y0 - r / pitch to y0 + r / pitch and columns x0 - r .. x0 + r,
    // inside the frame.
    void span(double x0, double y0, double r, int& xa, int& xb, int& ya, int& yb) const
    {
        xa = std::max(0, static_cast<int>(std::floor(x0 - r)));
        xb = std::min(f_.width - 1, static_cast<int>(std::ceil(x0 + r)));
        ya = std::max(0, static_cast<int>(std::floor(y0 - r / f_.row_pitch)));
        yb = std::min(f_.height - 1, static_cast<int>(std::ceil(y0 + r / f_.row_pitch)));
    }

private:
    const StarFrame& f_;
};

// The first radius at which the ring-averaged profile about (x0, y0) falls
// under half of its centre, from rings `bin` wide; 0 when it never does
// within `reach`.
double half_width(const Sampler& s, double x0, double y0, double background, double reach, double bin)
{
    const int bins = static_cast<int>(std::ceil(reach / bin)) + 1;
    std::vector<double> sum(static_cast<std::size_t>(bins), 0.0);
    std::vector<int> count(static_cast<std::size_t>(bins), 0);
    int xa, xb, ya, yb;
    s.span(x0, y0, reach, xa, xb, ya, yb);
    for (int y = ya; y <= yb; ++y) {
        const double dy = (y - y0) * s.pitch();
        for (int x = xa; x <= xb; ++x) {
            const double dx = x - x0;
            const int k = static_cast<int>(std::sqrt(dx * dx + dy * dy) / bin);
            if (k < bins) {
                sum[static_cast<std::size_t>(k)] += s.at(x, y) - background;
                ++count[static_cast<std::size_t>(k)];
            }
        }
    }
    std::vector<double> mean;
    std::vector<double> radius;
    for (int k = 0; k < bins; ++k)
        if (count[static_cast<std::size_t>(k)] > 0) {
            mean.push_back(sum[static_cast<std::size_t>(k)] / count[static_cast<std::size_t>(k)]);
            radius.push_back((k + 0.5) * bin);
        }
    if (mean.empty())
        return 0;
    // The centre: the brighter of the first two rings (a centre between
    // samples leaves the innermost ring empty or thin).
    std::size_t top = 0;
    if (mean.size() > 1 && mean[1] > mean[0] && radius[1] < 1.5)
        top = 1;
    const double half = mean[top] / 2.0;
    if (half <= 0)
        return 0;
    for (std::size_t k = top + 1; k < mean.size(); ++k)
        if (mean[k] < half) {
            const double t = (mean[k - 1] - half) / (mean[k - 1] - mean[k]);
            return radius[k - 1] + t * (radius[k] - radius[k - 1]);
        }
    return 0;
}

// Measures the star whose brightest sample is (px, py).
StarMeasure measure_from_peak(const Sampler& s, int px, int py, double rough_background, double reach)
{
    StarMeasure m;
    m.peak = s.at(px, py);
    const int saturation = s.frame().saturation;
    if (m.peak >= saturation) {
        m.result = StarResult::saturated;
        return m;
    }
    // A first width from the profile about the peak sets the aperture.
    double r0 = half_width(s, px, py, rough_background, reach, 1.0);
    if (r0 <= 0)
        r0 = reach / 4.0;
    r0 = std::max(r0, 0.75);
    const double aperture = 8.0 * r0 + 3.0;

    // The local background: a ring outside the aperture.
    std::vector<float> ring;
    {
        const double inner = aperture + 2.0;
        const double outer = inner + std::max(6.0, 0.3 * aperture);
        int xa, xb, ya, yb;
        s.span(px, py, outer, xa, xb, ya, yb);
        for (int y = ya; y <= yb; ++y) {
            const double dy = (y - py) * s.pitch();
            for (int x = xa; x <= xb; ++x) {
                const double dx = x - px;
                const double r2 = dx * dx + dy * dy;
                if (r2 >= inner * inner && r2 <= outer * outer)
                    ring.push_back(static_cast<float>(s.at(x, y)));
            }
        }
    }
    Stats bg = clipped_stats(ring);
    if (bg.count < 16) {
        bg.mean = rough_background;
        bg.sigma = 0;
    }
    m.background = bg.mean;
    m.noise = bg.sigma;
    if (m.peak - bg.mean <= std::max(5.0 * bg.sigma, 1.0)) {
        m.result = StarResult::no_star;
        return m;
    }

    // Sub-pixel centroid: light above the background, in a window about the
    // star that follows it as it is refined.
    double cx = px, cy = py;
    const double window = 2.0 * r0 + 1.5;
    for (int round = 0; round < 6; ++round) {
        int xa, xb, ya, yb;
        s.span(cx, cy, window, xa, xb, ya, yb);
        double sw = 0, sx = 0, sy = 0;
        for (int y = ya; y <= yb; ++y) {
            const double dy = (y - cy) * s.pitch();
            for (int x = xa; x <= xb; ++x) {
                const double dx = x - cx;
                if (dx * dx + dy * dy > window * window)
                    continue;
                const double w = s.at(x, y) - bg.mean;
                if (w <= 0)
                    continue;
                sw += w;
                sx += w * x;
                sy += w * y;
            }
        }
        if (sw <= 0)
            break;
        const double nx = sx / sw, ny = sy / sw;
        const bool settled = std::fabs(nx - cx) < 0.002 && std::fabs(ny - cy) < 0.002;
        cx = nx;
        cy = ny;
        if (settled)
            break;
    }
    m.x = cx;
    m.y = cy;

    // The light within the aperture against radius, each sample's light
    // spread over its own cell (k x k points), so the enclosed light grows
    // smoothly with the radius instead of in steps at the rings of pixel
    // centres. A small star (a few pixels across) is spread by Catmull-Rom
    // interpolation between the samples, which keeps its light where the
    // samples put it; a larger one evenly over each cell, which blurs it
    // by one more pixel box (taken off below like the sensor's own).
    const bool small = r0 < 3;
    const int k = small ? 6 : (r0 < 8 ? 3 : 2);
    const double share = 1.0 / (k * k);
    struct Taps {
        int shift; // first of the four samples, from the cell's own
        double w[4];
    };
    std::vector<Taps> taps(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        const double o = (i + 0.5) / k - 0.5;
        const double t = o >= 0 ? o : 1.0 + o;
        const double t2 = t * t, t3 = t2 * t;
        taps[static_cast<std::size_t>(i)] = { o >= 0 ? -1 : -2,
            { (-t3 + 2 * t2 - t) / 2, (3 * t3 - 5 * t2 + 2) / 2, (-3 * t3 + 4 * t2 + t) / 2, (t3 - t2) / 2 } };
    }
    const StarFrame& f = s.frame();
    auto clamped = [&](int x, int y) {
        return s.at(std::clamp(x, 0, f.width - 1), std::clamp(y, 0, f.height - 1)) - bg.mean;
    };
    const double bin = std::max(0.01, r0 / 100.0);
    std::vector<double> enclosed(static_cast<std::size_t>((aperture + 2.0) / bin) + 2, 0.0);
    // The profile for the FWHM, from the same points in rings.
    const double ring_width = std::max(0.2, r0 / 6.0);
    std::vector<double> ring_sum(static_cast<std::size_t>((4.0 * r0 + 4.0) / ring_width) + 1, 0.0);
    std::vector<int> ring_count(ring_sum.size(), 0);
    int xa, xb, ya, yb;
    s.span(cx, cy, aperture, xa, xb, ya, yb);
    double total = 0;
    for (int y = ya; y <= yb; ++y) {
        const double dy = (y - cy) * s.pitch();
        for (int x = xa; x <= xb; ++x) {
            const double dx = x - cx;
            const double r2 = dx * dx + dy * dy;
            if (r2 > aperture * aperture)
                continue;
            const int v = s.at(x, y);
            if (v >= saturation) {
                m.result = StarResult::saturated;
                return m;
            }
            const double w = v - bg.mean;
            // A sample stands for a cell one column wide and one row pitch high.
            for (int j = 0; j < k; ++j) {
                const double py_ = dy + ((j + 0.5) / k - 0.5) * s.pitch();
                const Taps& ty = taps[static_cast<std::size_t>(j)];
                for (int i = 0; i < k; ++i) {
                    const double px_ = dx + (i + 0.5) / k - 0.5;
                    double light = w;
                    if (small) {
                        const Taps& tx = taps[static_cast<std::size_t>(i)];
                        light = 0;
                        for (int b = 0; b < 4; ++b) {
                            const int yy = y + ty.shift + b;
                            double row = 0;
                            for (int a = 0; a < 4; ++a)
                                row += tx.w[a] * clamped(x + tx.shift + a, yy);
                            light += ty.w[b] * row;
                        }
                    }
                    const double r = std::sqrt(px_ * px_ + py_ * py_);
                    const auto b = static_cast<std::size_t>(r / bin);
                    enclosed[std::min(b, enclosed.size() - 1)] += light * share;
                    if (const auto q = static_cast<std::size_t>(r / ring_width); q < ring_sum.size()) {
                        ring_sum[q] += light;
                        ++ring_count[q];
                    }
                    total += light * share;
                }
            }
        }
    }
    m.flux = total * s.pitch();
    if (total <= 0) {
        m.result = StarResult::no_star;
        return m;
    }
    // The first radius where the enclosed light reaches half, interpolated
    // within its bin.
    const double half = total / 2.0;
    double sum = 0, r_half = 0;
    for (std::size_t b = 0; b < enclosed.size(); ++b) {
        if (sum + enclosed[b] >= half && enclosed[b] > 0) {
            r_half = (static_cast<double>(b) + (half - sum) / enclosed[b]) * bin;
            break;
        }
        sum += enclosed[b];
    }
    if (r_half <= 0) {
        m.result = StarResult::no_star;
        return m;
    }
    m.hfd = without_pixel_box(2.0 * r_half, small ? 1.7 : 2);
    // Half of the central level, where the ring profile first falls below it.
    double centre = 0, hw = 0;
    for (std::size_t q = 0; q < ring_sum.size(); ++q) {
        if (ring_count[q] == 0)
            continue;
        const double level = ring_sum[q] / ring_count[q];
        const double r = (static_cast<double>(q) + 0.5) * ring_width;
        if (centre == 0) {
            centre = level;
        } else if (level < centre / 2) {
            // Between this ring and the one before it.
            std::size_t p = q - 1;
            while (ring_count[p] == 0)
                --p;
            const double before = ring_sum[p] / ring_count[p];
            const double rp = (static_cast<double>(p) + 0.5) * ring_width;
            hw = before > level ? rp + (before - centre / 2) / (before - level) * (r - rp) : r;
            break;
        }
    }
    m.fwhm = hw > 0 ? without_pixel_box(2.0 * hw, small ? 1.7 : 2) : 0;
    m.result = StarResult::measured;
    return m;
}

// Background and noise of a whole frame from a sparse grid of samples.
Stats frame_background(const Sampler& s)
{
    const StarFrame& f = s.frame();
    const std::size_t n = static_cast<std::size_t>(f.width) * f.height;
    const int step = std::max<int>(1, static_cast<int>(std::sqrt(static_cast<double>(n) / 16384.0)));
    std::vector<float> grid;
    grid.reserve(n / (static_cast<std::size_t>(step) * step) + 1);
    for (int y = step / 2; y < f.height; y += step)
        for (int x = step / 2; x < f.width; x += step)
            grid.push_back(static_cast<float>(s.at(x, y)));
    return clipped_stats(grid);
}

} // namespace

StarMeasure measure_star(const StarFrame& frame, double x, double y, int search)
{
    StarMeasure none;
    if (frame.data == nullptr || frame.width < 3 || frame.height < 3 || search < 1)
        return none;
    const Sampler s(frame);
    int xa, xb, ya, yb;
    s.span(x, y, search, xa, xb, ya, yb);
    int px = -1, py = -1, best = -1;
    for (int yy = ya; yy <= yb; ++yy)
        for (int xx = xa; xx <= xb; ++xx)
            if (s.at(xx, yy) > best) {
                best = s.at(xx, yy);
                px = xx;
                py = yy;
            }
    if (px < 0)
        return none;
    // A first background from the edge of the search box.
    std::vector<float> edge;
    for (int xx = xa; xx <= xb; ++xx) {
        edge.push_back(static_cast<float>(s.at(xx, ya)));
        edge.push_back(static_cast<float>(s.at(xx, yb)));
    }
    for (int yy = ya + 1; yy < yb; ++yy) {
        edge.push_back(static_cast<float>(s.at(xa, yy)));
        edge.push_back(static_cast<float>(s.at(xb, yy)));
    }
    const Stats rough = clipped_stats(edge);
    return measure_from_peak(s, px, py, rough.mean, std::max(search, 8));
}

StarMeasure measure_brightest_star(const StarFrame& frame)
{
    StarMeasure none;
    if (frame.data == nullptr || frame.width < 3 || frame.height < 3)
        return none;
    const Sampler s(frame);
    const Stats bg = frame_background(s);
    const double threshold = bg.mean + std::max(5.0 * bg.sigma, 3.0);
    struct Candidate {
        double score;
        int x, y;
        bool clipped;
    };
    std::vector<Candidate> candidates;
    const int w = frame.width;
    for (int y = 1; y + 1 < frame.height; ++y) {
        const unsigned short* row = frame.data + static_cast<std::size_t>(y) * w;
        const unsigned short* up = row - w;
        const unsigned short* down = row + w;
        for (int x = 1; x + 1 < w; ++x) {
            const int v = row[x];
            if (v <= threshold)
                continue;
            // A local maximum (ties go to the first in reading order)...
            if (v < row[x + 1] || v <= row[x - 1] || v <= up[x - 1] || v <= up[x] || v <= up[x + 1]
                || v < down[x - 1] || v < down[x] || v < down[x + 1])
                continue;
            // ... with light beside it: a lone hot pixel has none.
            const double lift = v - bg.mean;
            if (std::max(row[x - 1], row[x + 1]) - bg.mean < 0.1 * lift)
                continue;
            double sum = 0;
            bool clipped = false;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    const int u = row[static_cast<std::ptrdiff_t>(j) * w + x + i];
                    sum += u - bg.mean;
                    clipped = clipped || u >= frame.saturation;
                }
            candidates.push_back({ sum, x, y, clipped });
        }
    }
    std::sort(candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    StarMeasure result = none;
    int tries = 0;
    for (const Candidate& c : candidates) {
        if (c.clipped) {
            result.result = StarResult::saturated;
            continue;
        }
        if (++tries > 24)
            break;
        const StarMeasure m = measure_from_peak(s, c.x, c.y, bg.mean, 40);
        if (m.ok())
            return m;
        if (m.result == StarResult::saturated)
            result.result = StarResult::saturated;
    }
    return result;
}

std::string star_size_text(const char* name, double px, double arcsec_per_px)
{
    char text[80];
    if (arcsec_per_px > 0)
        std::snprintf(text, sizeof text, "%s %.2f px (%.2f\")", name, px, px * arcsec_per_px);
    else
        std::snprintf(text, sizeof text, "%s %.2f px", name, px);
    return text;
}
