// The nine colour ramps and the three channel tables built from them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "colour/palette.h"

namespace {

const int SEED = 1959;

int entry(int ramp, int i) { return palette[RAMP_LENGTH * ramp + i]; }

// Builds the palette as start-up does: seed, then create, then apply.
void buildAsAtStartUp() {
    paletteR = paletteG = paletteB = 0;
    srand(SEED);
    DISPLAY_PALLETE_CREATE();
    DISPLAY_PALLETE_APPLY();
}

class PaletteTest : public ::testing::Test {
protected:
    void SetUp() override { buildAsAtStartUp(); }
};

// ---- the fixed ramps -------------------------------------------------------

TEST_F(PaletteTest, TellingEntriesOfTheFixedRamps) {
    const int columns[8] = {0, 1, 2, 64, 127, 128, 188, 254};
    const int expected[8][8] = {
        {0, 1, 2, 64, 127, 128, 188, 254},         // grey rising
        {255, 254, 253, 191, 128, 127, 67, 1},     // grey falling
        {0, 16, 22, 128, 180, 181, 219, 254},      // square root
        {0, 0, 31, 191, 223, 223, 241, 254},       // logarithm
        {0, 3, 6, 181, 254, 254, 186, 1},          // half sine wave
        {1, 4, 7, 127, 252, 249, 130, 9},          // full sine wave, wrapped
        {128, 127, 127, 90, 1, 255, 170, 130},     // half cosine wave, wrapped
        {128, 127, 127, 253, 130, 130, 255, 127},  // full cosine wave, wrapped
    };
    for (int ramp = 0; ramp < 8; ++ramp)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(entry(ramp, columns[c]), expected[ramp][c]) << "ramp " << ramp << " entry " << columns[c];
}

TEST_F(PaletteTest, GreyRampsAreEachOthersComplement) {
    for (int i = 0; i < RAMP_LENGTH; ++i) {
        EXPECT_EQ(entry(0, i), i);
        EXPECT_EQ(entry(1, i), 255 - i);
    }
}

TEST_F(PaletteTest, LogarithmOfZeroIsStoredAsZero) {
    EXPECT_EQ(entry(3, 0), 0);
    EXPECT_EQ(entry(3, 1), 0);
}

TEST_F(PaletteTest, RisingRampsTopOutAtTwoFiftyFour) {
    for (int ramp : {2, 3}) {
        for (int i = 1; i < RAMP_LENGTH; ++i)
            ASSERT_GE(entry(ramp, i), entry(ramp, i - 1)) << "ramp " << ramp << " falls at " << i;
        EXPECT_EQ(entry(ramp, 254), 254) << "ramp " << ramp;
    }
}

TEST_F(PaletteTest, HalfSineWavePeaksInTheMiddle) {
    for (int i = 0; i < RAMP_LENGTH; ++i) {
        if (i >= 121 && i <= 134) EXPECT_EQ(entry(4, i), 254) << "entry " << i;
        else EXPECT_LT(entry(4, i), 254) << "entry " << i;
    }
    EXPECT_EQ(entry(4, 254), 1);
}

TEST_F(PaletteTest, TrigonometricRampsJumpWhereTheFormulaCrossesZero) {
    EXPECT_EQ(entry(5, 125), 3);
    EXPECT_EQ(entry(5, 126), 255);
    EXPECT_EQ(entry(5, 251), 255);
    EXPECT_EQ(entry(5, 252), 3);
    EXPECT_EQ(entry(6, 127), 1);
    EXPECT_EQ(entry(6, 128), 255);
    EXPECT_EQ(entry(7, 63), 0);
    EXPECT_EQ(entry(7, 64), 253);
    EXPECT_EQ(entry(7, 188), 255);
    EXPECT_EQ(entry(7, 189), 2);
}

TEST_F(PaletteTest, NegativeFormulaValuesWrapToBrightBytes) {
    // Formula values -126..-1 are stored as 130..255; 0..128 as themselves.
    struct Wrap { int ramp, first, last; };
    for (const Wrap w : {Wrap{5, 126, 251}, Wrap{6, 128, 254}, Wrap{7, 64, 188}}) {
        for (int i = 0; i < RAMP_LENGTH; ++i) {
            if (i >= w.first && i <= w.last) EXPECT_GE(entry(w.ramp, i), 130) << "ramp " << w.ramp << " entry " << i;
            else EXPECT_LE(entry(w.ramp, i), 128) << "ramp " << w.ramp << " entry " << i;
        }
    }
}

// ---- the random ramp -------------------------------------------------------

std::vector<int> rawRandomRamp() {
    srand(SEED);
    std::vector<int> raw;
    for (int i = 0; i < RAMP_LENGTH; ++i) raw.push_back(rand() % 255);
    return raw;
}

TEST_F(PaletteTest, RandomRampIsTheSameOnEveryRun) {
    EXPECT_EQ(entry(8, 0), 201);
    EXPECT_EQ(entry(8, 1), 228);
    EXPECT_EQ(entry(8, 2), 170);
    EXPECT_EQ(entry(8, 3), 150);
    EXPECT_EQ(entry(8, 4), 160);
    EXPECT_EQ(entry(8, 253), 139);
    EXPECT_EQ(entry(8, 254), 129);
    const unsigned char *r = palette + 8 * RAMP_LENGTH;
    EXPECT_EQ(*std::min_element(r, r + RAMP_LENGTH), 33);
    EXPECT_EQ(*std::max_element(r, r + RAMP_LENGTH), 228);
}

TEST_F(PaletteTest, RandomRampTakesTheFirstNumbersOfTheSeededGenerator) {
    const std::vector<int> raw = rawRandomRamp();
    const std::vector<int> firstFive(raw.begin(), raw.begin() + 5);
    EXPECT_EQ(firstFive, (std::vector<int>{201, 231, 252, 31, 250}));
    // The end entries are not smoothed.
    EXPECT_EQ(entry(8, 0), raw[0]);
    EXPECT_EQ(entry(8, 254), raw[254]);
}

TEST_F(PaletteTest, SmoothingRunsInPlace) {
    // Each inner entry averages its already smoothed left neighbour with
    // the raw entry itself and its raw right neighbour.
    const std::vector<int> raw = rawRandomRamp();
    for (int i = 1; i < RAMP_LENGTH - 1; ++i)
        EXPECT_EQ(entry(8, i), (entry(8, i - 1) + raw[(size_t)i] + raw[(size_t)i + 1]) / 3) << "entry " << i;
}

TEST(PaletteCreate, DrawsExactlyOneNumberPerEntry) {
    srand(SEED);
    DISPLAY_PALLETE_CREATE();
    const int next = rand();
    srand(SEED);
    for (int i = 0; i < RAMP_LENGTH; ++i) rand();
    EXPECT_EQ(next, rand());
}

TEST(PaletteCreate, SecondBuildGivesTheSameTable) {
    srand(SEED);
    DISPLAY_PALLETE_CREATE();
    const std::vector<unsigned char> first(palette, palette + RAMPS * RAMP_LENGTH);
    srand(SEED);
    DISPLAY_PALLETE_CREATE();
    EXPECT_EQ(first, std::vector<unsigned char>(palette, palette + RAMPS * RAMP_LENGTH));
}

// ---- the channel tables ----------------------------------------------------

TEST_F(PaletteTest, StartUpSelectionIsGrey) {
    for (int v = 0; v < 255; ++v) {
        ASSERT_EQ(PaletteR[v], v);
        ASSERT_EQ(PaletteG[v], v);
        ASSERT_EQ(PaletteB[v], v);
    }
    EXPECT_EQ(PaletteR[255], 255);
}

TEST_F(PaletteTest, EverySelectionCopiesItsRampsAndKeepsWhiteForTwoFiftyFive) {
    for (int r = 0; r < RAMPS; ++r)
        for (int g = 0; g < RAMPS; ++g)
            for (int b = 0; b < RAMPS; ++b) {
                paletteR = r;
                paletteG = g;
                paletteB = b;
                DISPLAY_PALLETE_APPLY();
                ASSERT_EQ(PaletteR[255], 255);
                ASSERT_EQ(PaletteG[255], 255);
                ASSERT_EQ(PaletteB[255], 255);
                for (int v = 0; v < 255; ++v) {
                    ASSERT_EQ(PaletteR[v], entry(r, v)) << "red ramp " << r << " value " << v;
                    ASSERT_EQ(PaletteG[v], entry(g, v)) << "green ramp " << g << " value " << v;
                    ASSERT_EQ(PaletteB[v], entry(b, v)) << "blue ramp " << b << " value " << v;
                }
            }
}

TEST_F(PaletteTest, ValueTwoFiftyFourTakesTheLastRampEntry) {
    paletteR = 1;
    paletteG = 0;
    paletteB = 4;
    DISPLAY_PALLETE_APPLY();
    EXPECT_EQ(PaletteR[254], 1);
    EXPECT_EQ(PaletteG[254], 254);
    EXPECT_EQ(PaletteB[254], 1);
}

TEST_F(PaletteTest, ChangingASelectorAloneChangesNothing) {
    paletteG = 5;
    EXPECT_EQ(PaletteG[126], 126);
    DISPLAY_PALLETE_APPLY();
    EXPECT_EQ(PaletteG[126], 255);
}

TEST(NextRamp, AdvancesAndWrapsEightToZero) {
    for (int k = 0; k < 8; ++k) EXPECT_EQ(nextRamp(k), k + 1);
    EXPECT_EQ(nextRamp(8), 0);
}

}  // namespace
