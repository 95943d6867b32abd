// The nine colour ramps and the three channel tables built from them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <math.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "colour/colouring.h"
#include "colour/gradient.h"
#include "colour/palette.h"
#include "files/gradient_file.h"

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

// ---- the colouring of values -------------------------------------------------

// A gradient whose colour k is (k, 255 - k, 7), its table, and a colouring of it.
struct Ramp {
    Ramp() : table(new GradientTable) {
        g.size = GRADIENT_MAX;
        for (int k = 0; k < GRADIENT_MAX; ++k) g.rgb[k][0] = (unsigned char)k, g.rgb[k][1] = (unsigned char)(255 - k), g.rgb[k][2] = 7;
        g.inside[0] = g.inside[1] = g.inside[2] = 1;
        fillGradientTable(g, *table);
    }
    std::vector<unsigned char> colours(Colouring c, std::vector<double> v, const CountHistogram *h = nullptr) {
        c.palette = table.get();
        std::vector<unsigned char> rgb(v.size() * 3);
        colourValueRow(c, h, ValueRows{v.data(), v.data(), v.data(), (int)v.size()}, 1, rgb.data());
        return rgb;
    }
    Gradient g;
    std::unique_ptr<GradientTable> table;
};

// Entry `k` of the ramp, within `slack` on each channel.
void expectEntry(const unsigned char *rgb, int k, int slack, const char *what) {
    EXPECT_NEAR(rgb[0], k, slack) << what;
    EXPECT_NEAR(rgb[1], 255 - k, slack) << what;
    EXPECT_EQ(7, rgb[2]) << what;
}

TEST(Colouring, CyclicAndLogMappingsGiveTheStatedColours) {
    Ramp ramp;
    // cyclic:64,0.25: count 16 is half a turn, 40 seven eighths, 48 a whole turn, 80 one and a half
    std::vector<unsigned char> rgb = ramp.colours({COLOUR_CYCLIC, 64.0, 0.25, 0, 0, 0, nullptr}, {16, 40, 48, 80, -16});
    expectEntry(&rgb[0], 128, 0, "16"), expectEntry(&rgb[3], 224, 0, "40"), expectEntry(&rgb[6], 0, 0, "48");
    expectEntry(&rgb[9], 128, 0, "80"), expectEntry(&rgb[12], 0, 0, "-16 wraps backwards");
    // log:4 ln 2: a turn every quadrupling of 1 + count
    rgb = ramp.colours({COLOUR_LOG, 4.0 * log(2.0), 0.0, 0, 0, 0, nullptr}, {1, 3, 0, -5, INSIDE_VALUE});
    expectEntry(&rgb[0], 64, 1, "1"), expectEntry(&rgb[3], 128, 1, "3"), expectEntry(&rgb[6], 0, 0, "0");
    expectEntry(&rgb[9], 0, 0, "below 0 is 0");
    EXPECT_EQ(1, rgb[12] + rgb[13] + rgb[14] - 2) << "the inside colour";
}

TEST(Colouring, AHistogramEqualisesAndPoolsSetsEvenly) {
    const std::vector<double> values = {10.0, 20.0, 30.5, 30.25, INSIDE_VALUE};
    const ValueBins bins = binsOf(values.data(), values.size());
    EXPECT_EQ(4u, bins.total) << "the inside is not counted";
    const CountHistogram h = histogramOf({&bins});
    EXPECT_EQ(0.0, histogramTurns(h, 5.0));
    EXPECT_EQ(0.0, histogramTurns(h, 10.0));
    EXPECT_EQ(0.25, histogramTurns(h, 20.0));
    EXPECT_EQ(0.75, histogramTurns(h, 30.5)) << "half-way across count 30, which holds half the samples";
    EXPECT_EQ(1.0, histogramTurns(h, 31.0));
    // A set of one sample weighs as much as a set of four.
    const double one = 100.0;
    const ValueBins single = binsOf(&one, 1);
    EXPECT_EQ(0.5, histogramTurns(histogramOf({&bins, &single}), 31.0));
    Ramp ramp;
    const std::vector<unsigned char> rgb = ramp.colours({COLOUR_HISTOGRAM, 0, 0, 0, 0, 0, nullptr}, {20.0, 31.0}, &h);
    expectEntry(&rgb[0], 255 / 4, 1, "a quarter of the way"), expectEntry(&rgb[3], 255, 0, "the last colour");
}

TEST(Colouring, SlopesLightWhatFacesTheLightAndLeaveFlatGround) {
    Ramp ramp;
    const Colouring lit = {COLOUR_CYCLIC, 1e6, 0.5, 1, 0.0, 1.0, nullptr};  // light from the right
    const std::vector<double> up = {39, 39, 39}, row = {41, 40, 39}, flat = {40, 40, 40};
    std::vector<unsigned char> rgb(9), plain = ramp.colours(lit, flat);
    Colouring c = lit;
    c.palette = ramp.table.get();
    colourValueRow(c, nullptr, ValueRows{row.data(), row.data(), row.data(), 3}, 1, rgb.data());
    EXPECT_GT(rgb[3], plain[3]) << "falling to the right faces the light";
    colourValueRow(c, nullptr, ValueRows{flat.data(), flat.data(), flat.data(), 3}, 1, rgb.data());
    EXPECT_EQ(plain, rgb) << "flat ground keeps its colour";
    const std::vector<double> back = {39, 40, 41};
    colourValueRow(c, nullptr, ValueRows{back.data(), back.data(), back.data(), 3}, 1, rgb.data());
    EXPECT_LT(rgb[3], plain[3]) << "rising to the right faces away";
    c.angle = 90.0;  // from the top: ground falling towards the top faces it
    colourValueRow(c, nullptr, ValueRows{up.data(), flat.data(), flat.data(), 3}, 1, rgb.data());
    EXPECT_GT(rgb[4], plain[4] + 10);
}

TEST(Gradients, MixedAsLightAndBuiltInOnesMeetAtTheirEnds) {
    Gradient grey;
    ASSERT_TRUE(namedGradient("grey", grey));
    EXPECT_EQ(0, grey.rgb[0][0]);
    EXPECT_NEAR(188, grey.rgb[64][0], 1) << "half the light of white is about 188, not 128";
    for (int k = 0; gradientName(k); ++k) {
        Gradient g;
        ASSERT_TRUE(namedGradient(gradientName(k), g));
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(g.rgb[0][c], g.rgb[255][c], 24) << gradientName(k) << ": a seam";
    }
    EXPECT_FALSE(namedGradient("Twilight", grey));
}

TEST(GradientFiles, TheirColoursAndEveryWayOfBeingWrong) {
    std::string good;
    for (int k = 0; k < 256; ++k) good += std::to_string(k) + "\t" + std::to_string(k / 2) + "  9" + (k % 2 ? " name\r\n" : "\n");
    Gradient g;
    char why[FILE_ERROR_SIZE] = "";
    ASSERT_TRUE(parseGradient(good.data(), good.size(), g, why)) << why;
    EXPECT_TRUE(g.rgb[255][0] == 255 && g.rgb[255][1] == 127 && g.rgb[255][2] == 9 && g.size == 256);
    EXPECT_TRUE(parseGradient((good + "\n\n").data(), good.size() + 2, g, why)) << "blank lines after the last";
    const struct {
        std::string text;
        const char *says;
    } bad[] = {
        {good.substr(0, good.find('\n') + 1), "1 colours"},       {good + "1 2 3\n", "line 257: more than"},
        {"256 0 0\n" + good, "line 1"},                          {"1 2\n" + good, "line 1"},
        {"0001 2 3\n" + good, "line 1"},                         {"1 2 3x\n" + good, "line 1"},
        {std::string("1 2 3\0\n", 7) + good, "NUL"},             {"1,2,3\n" + good, "line 1"},
    };
    for (const auto &b : bad) {
        why[0] = '\0';
        EXPECT_FALSE(parseGradient(b.text.data(), b.text.size(), g, why)) << b.says;
        EXPECT_NE(nullptr, strstr(why, b.says)) << why;
    }
    EXPECT_FALSE(readGradientFile("/nonexistent/a.map", g, why));
    EXPECT_NE(nullptr, strstr(why, "cannot open"));
}

}  // namespace
