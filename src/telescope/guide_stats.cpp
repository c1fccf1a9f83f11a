#include "telescope/guide_stats.h"

#include <algorithm>
#include <cmath>

void GuideSums::add(double dx, double dy)
{
    ++n_;
    sxx_ += dx * dx;
    syy_ += dy * dy;
    peak_ = std::max(peak_, std::hypot(dx, dy));
}

GuideFigures GuideSums::figures() const
{
    GuideFigures f;
    f.frames = n_;
    if (n_ == 0)
        return f;
    f.rms_x = std::sqrt(sxx_ / n_);
    f.rms_y = std::sqrt(syy_ / n_);
    f.rms = std::sqrt((sxx_ + syy_) / n_);
    f.peak = peak_;
    return f;
}

void GuideGraphModel::clear()
{
    head_ = count_ = 0;
    added_ = 0;
    all_.clear();
    all_arcsec_.clear();
}

void GuideGraphModel::add(const GuideRecord& record)
{
    ring_[head_] = record;
    head_ = (head_ + 1) % capacity;
    count_ = std::min<std::size_t>(count_ + 1, capacity);
    ++added_;
    if (record.measured()) {
        all_.add(record.dx, record.dy);
        all_arcsec_.add(record.dx * sx(), record.dy * sy());
    }
}

const GuideRecord& GuideGraphModel::record(int i) const
{
    return ring_[(head_ + capacity - count_ + static_cast<std::size_t>(i)) % capacity];
}

GuideFigures GuideGraphModel::over_last(int span, bool arcsec) const
{
    GuideSums sums;
    const double kx = arcsec ? sx() : 1, ky = arcsec ? sy() : 1;
    const int n = std::min(span, size());
    for (int i = size() - n; i < size(); ++i)
        if (const GuideRecord& r = record(i); r.measured())
            sums.add(r.dx * kx, r.dy * ky);
    return sums.figures();
}
