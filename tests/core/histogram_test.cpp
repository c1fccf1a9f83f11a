#include <gtest/gtest.h>

#include "app/state.h"
#include "processing/histogram.h"
#include "store/buffers.h"

TEST(Histogram, MeanOfThreeMostPopulatedBins)
{
    // Binned frame: counting starts half a row in and covers
    // intlength - width1_10 samples.
    const int start = width1 / 2;
    const int count = intlength - width1_10;
    for (int i = 0; i < count; ++i)
        image[start + i] = static_cast<unsigned short>(i % 10 < 5 ? 10 << 8 : (i % 10 < 8 ? 40 << 8 : 100 << 8));
    image[0] = 0xFFFF; // before the counted range
    build_histogram(image);
    EXPECT_EQ(table[255], 0u);
    EXPECT_EQ(table[10] + table[40] + table[100], static_cast<unsigned>(count));
    EXPECT_EQ(most_pop, (10 + 40 + 100) / 3);
}

TEST(Histogram, FewOccupiedBinsStayDefined)
{
    // One occupied bin: the runners-up are the first empty bins, 0 and 1.
    std::fill(image, image + intlength, static_cast<unsigned short>(200 << 8));
    build_histogram(image);
    EXPECT_EQ(most_pop, (200 + 0 + 1) / 3);
}

TEST(Histogram, MostPopUsesTheFixedBand)
{
    std::fill(image, image + intlength, static_cast<unsigned short>(5 << 8));
    for (int i = 10240; i < 25600; ++i)
        image[i] = static_cast<unsigned short>((i < 17000 ? 20 : 21) << 8);
    find_most_pop(image);
    EXPECT_EQ(most_pop, 21);
    EXPECT_EQ(table[5], 0u);
}
