// The renderer's command line: what each option sets, what it refuses, and
// that a refusal says which option and why.
#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "core/kernels.h"
#include "cli/options.h"
#include "render/look.h"
#include "render/plan.h"

namespace {

struct Parsed {
    // The options point into the arguments: they live as long as this.
    std::unique_ptr<std::vector<std::string>> args;
    RenderParseResult result;
    RenderOptions options;  // as planned: with what the files it names hold
    int located = 0, deep = 0, deepDive = 0;
    std::string reason;
};

Parsed parse(std::vector<std::string> given) {
    Parsed p;
    p.args.reset(new std::vector<std::string>(std::move(given)));
    std::vector<std::string> &args = *p.args;
    args.insert(args.begin(), "quorvex-render");
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    p.options = defaultRenderOptions();
    char reason[RENDER_REASON_SIZE] = "";
    p.result = parseRenderOptions((int)args.size(), argv.data(), p.options, reason);
    if (p.result == RENDER_PARSE_OK) {
        // The files a command names are the planner's to read; its usage
        // refusals are the command line's. Outputs need not be writable here.
        std::unique_ptr<RenderPlan> plan(new RenderPlan());
        if (planRender(p.options, *plan, nullptr, reason) == PLAN_USAGE) p.result = RENDER_PARSE_USAGE;
        p.options = plan->options;
        p.located = plan->located, p.deep = plan->deep, p.deepDive = plan->deepDive;
    }
    p.reason = reason;
    return p;
}

TEST(RenderOptions, DefaultsAreTheProgramsStartState) {
    const Parsed p = parse({"out.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    const RenderOptions &o = p.options;
    EXPECT_EQ(MANDELBROT_TYPE, o.params.type);
    EXPECT_EQ(50, o.params.detail);
    EXPECT_EQ(-5.0, o.params.xStart);
    EXPECT_EQ(5.0, o.params.xEnd);
    EXPECT_EQ(-5.0, o.params.yStart);
    EXPECT_EQ(5.0, o.params.yEnd);
    EXPECT_EQ(0.0, o.params.xPivot);
    EXPECT_EQ(0.0, o.params.yPivot);
    EXPECT_EQ(800, o.width);
    EXPECT_EQ(800, o.height);
    EXPECT_EQ(0, o.ramps[0] | o.ramps[1] | o.ramps[2]);
    EXPECT_GE(o.threads, 1);
    EXPECT_EQ(0, o.given);
    EXPECT_EQ(nullptr, o.fromPath);
    EXPECT_STREQ("out.png", o.outputPath);
    EXPECT_EQ(OUTPUT_PNG, o.outputKind);
    EXPECT_EQ(0, o.smooth);
    EXPECT_EQ(1, o.aa);
    EXPECT_FALSE(isDive(o));
    EXPECT_EQ(30.0, o.fps);
}

TEST(RenderOptions, EveryOptionSetsItsValue) {
    const Parsed p = parse({"--type", "J-Phoenix", "--detail=1234", "--view", "-0.75,-0.65,0.1,0.2",
                            "--pivot=0.285,-1e-2", "--size", "4096x300", "--palette", "8,0,3",
                            "--threads", "3", "--from", "saved.frc", "out.ppm"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    const RenderOptions &o = p.options;
    EXPECT_EQ(J_PHOENIX_TYPE, o.params.type);
    EXPECT_EQ(1234, o.params.detail);
    EXPECT_EQ(-0.75, o.params.xStart);
    EXPECT_EQ(-0.65, o.params.xEnd);
    EXPECT_EQ(0.1, o.params.yStart);
    EXPECT_EQ(0.2, o.params.yEnd);
    EXPECT_EQ(0.285, o.params.xPivot);
    EXPECT_EQ(-0.01, o.params.yPivot);
    EXPECT_EQ(4096, o.width);
    EXPECT_EQ(300, o.height);
    EXPECT_EQ(8, o.ramps[0]);
    EXPECT_EQ(0, o.ramps[1]);
    EXPECT_EQ(3, o.ramps[2]);
    EXPECT_EQ(3, o.threads);
    EXPECT_EQ(GIVEN_TYPE | GIVEN_DETAIL | GIVEN_VIEW | GIVEN_PIVOT | GIVEN_SIZE, o.given);
    EXPECT_STREQ("saved.frc", o.fromPath);
    EXPECT_EQ(OUTPUT_PPM, o.outputKind);
}

TEST(RenderOptions, AllTenTypeNamesAsTheProgramShowsThem) {
    const char *names[] = {"Mandelbrot", "Julia",    "M-Dragon", "J-Dragon", "M-Phoenix",
                           "J-Phoenix",  "M-Cosine", "J-Cosine", "M-Cosh",   "J-Cosh"};
    for (int t = 0; t < 10; ++t) {
        const Parsed p = parse({"--type", names[t], "a.pgm"});
        ASSERT_EQ(RENDER_PARSE_OK, p.result) << names[t] << ": " << p.reason;
        EXPECT_EQ(t, p.options.params.type) << names[t];
    }
}

TEST(RenderOptions, OptionsMayFollowTheOutputAndTheLastOneWins) {
    const Parsed p = parse({"out.pgm", "--detail", "10", "--detail", "20"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(20, p.options.params.detail);
    EXPECT_STREQ("out.pgm", p.options.outputPath);
}

TEST(RenderOptions, AMirroredViewIsAView) {
    // A zoom rectangle dragged right to left gives xStart > xEnd.
    const Parsed p = parse({"--view", "1,-1,2,-2", "a.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(1.0, p.options.params.xStart);
    EXPECT_EQ(-2.0, p.options.params.yEnd);
}

TEST(RenderOptions, SizeLimits) {
    EXPECT_EQ(RENDER_PARSE_OK, parse({"--size", "1x1", "a.png"}).result);
    const Parsed big = parse({"--size", "16384x16384", "a.png"});
    ASSERT_EQ(RENDER_PARSE_OK, big.result) << big.reason;
    EXPECT_EQ(16384, big.options.width);
    EXPECT_EQ(RENDER_PARSE_OK, parse({"--size", "65536x65536", "a.pgm"}).result);
    EXPECT_EQ(RENDER_PARSE_USAGE, parse({"--size", "65537x1", "a.pgm"}).result);
}

TEST(RenderOptions, ParameterFilesStopAtTheGridSize) {
    EXPECT_EQ(RENDER_PARSE_OK, parse({"--size", "800x800", "a.frc"}).result);
    EXPECT_EQ(RENDER_PARSE_OK, parse({"--size", "13x800", "a.frc"}).result);
    const Parsed wide = parse({"--size", "801x800", "a.frc"});
    EXPECT_EQ(RENDER_PARSE_USAGE, wide.result);
    EXPECT_NE(std::string::npos, wide.reason.find("800x800")) << wide.reason;
    EXPECT_EQ(RENDER_PARSE_USAGE, parse({"--size", "800x801", "a.frc"}).result);
}

TEST(RenderOptions, HelpWinsOverEverythingElse) {
    EXPECT_EQ(RENDER_PARSE_HELP, parse({"--help"}).result);
    EXPECT_EQ(RENDER_PARSE_HELP, parse({"-h"}).result);
    EXPECT_EQ(RENDER_PARSE_HELP, parse({"--detail", "9", "--help", "a.png"}).result);
}

TEST(RenderOptions, OutputKindByItsSuffix) {
    RenderOutputKind kind;
    ASSERT_TRUE(outputKindOf("a.png", &kind));
    EXPECT_EQ(OUTPUT_PNG, kind);
    ASSERT_TRUE(outputKindOf("dir.frc/a.ppm", &kind));
    EXPECT_EQ(OUTPUT_PPM, kind);
    ASSERT_TRUE(outputKindOf("/tmp/x.pgm", &kind));
    EXPECT_EQ(OUTPUT_PGM, kind);
    ASSERT_TRUE(outputKindOf("x.frc", &kind));
    EXPECT_EQ(OUTPUT_FRC, kind);
    ASSERT_TRUE(outputKindOf("x.webm", &kind));
    EXPECT_EQ(OUTPUT_WEBM, kind);
    ASSERT_TRUE(outputKindOf("x.qloc", &kind));
    EXPECT_EQ(OUTPUT_LOCATION, kind);
    EXPECT_FALSE(outputKindOf(".webm", &kind));
    EXPECT_FALSE(outputKindOf("x.PNG", &kind));
    EXPECT_FALSE(outputKindOf("x.jpg", &kind));
    EXPECT_FALSE(outputKindOf("png", &kind));
    EXPECT_FALSE(outputKindOf(".png", &kind)) << "a hidden name, not a picture";
    EXPECT_FALSE(outputKindOf("dir/.png", &kind));
    EXPECT_FALSE(outputKindOf("dir.png/", &kind));
}

// Each refusal is a usage error whose one line names what was wrong.
struct Refusal {
    std::vector<std::string> args;
    std::string mentions;
};

// Each command line is a usage error of one line that names what is wrong.
void expectRefused(const std::vector<Refusal> &refusals) {
    for (const Refusal &r : refusals) {
        std::string shown;
        for (const std::string &a : r.args) shown += "[" + a + "] ";
        const Parsed p = parse(r.args);
        EXPECT_EQ(RENDER_PARSE_USAGE, p.result) << shown;
        EXPECT_NE(std::string::npos, p.reason.find(r.mentions)) << shown << "gave: " << p.reason;
        EXPECT_EQ(std::string::npos, p.reason.find('\n')) << shown << "one line";
    }
}

TEST(RenderOptions, MalformedAndOutOfRangeValuesAreRefused) {
    const std::vector<Refusal> refusals = {
        {{"--type", "mandelbrot", "a.png"}, "--type 'mandelbrot'"},
        {{"--type", "", "a.png"}, "--type"},
        {{"--type", "Mandelbrot ", "a.png"}, "--type"},
        {{"--detail", "0", "a.png"}, "--detail '0'"},
        {{"--detail", "8421505", "a.png"}, "--detail '8421505'"},
        {{"--detail", "-5", "a.png"}, "--detail"},
        {{"--detail", "50x", "a.png"}, "--detail"},
        {{"--detail", " 50", "a.png"}, "--detail"},
        {{"--detail", "", "a.png"}, "--detail"},
        {{"--detail", "99999999999999999999", "a.png"}, "--detail"},
        {{"--view", "1,2,3", "a.png"}, "--view"},
        {{"--view", "1,2,3,4,5", "a.png"}, "--view"},
        {{"--view", "1,,3,4", "a.png"}, "--view"},
        {{"--view", "1,2,3,4,", "a.png"}, "--view"},
        {{"--view", "a,2,3,4", "a.png"}, "--view"},
        {{"--view", "nan,2,3,4", "a.png"}, "--view"},
        {{"--view", "1,inf,3,4", "a.png"}, "--view"},
        {{"--view", "1,1,3,4", "a.png"}, "--view"},
        {{"--view", "1,2,3,3", "a.png"}, "--view"},
        {{"--view", "-1e308,1e308,0,1", "a.png"}, "--view"},
        {{"--pivot", "1", "a.png"}, "--pivot"},
        {{"--pivot", "1,2,3", "a.png"}, "--pivot"},
        {{"--pivot", "1;2", "a.png"}, "--pivot"},
        {{"--pivot", "1,nan", "a.png"}, "--pivot"},
        {{"--size", "800", "a.png"}, "--size '800'"},
        {{"--size", "0x5", "a.png"}, "--size"},
        {{"--size", "5x0", "a.png"}, "--size"},
        {{"--size", "5X5", "a.png"}, "--size"},
        {{"--size", "5x", "a.png"}, "--size"},
        {{"--size", "x5", "a.png"}, "--size"},
        {{"--size", "5x5x5", "a.png"}, "--size"},
        {{"--size", "-5x5", "a.png"}, "--size"},
        {{"--palette", "9,0,0", "a.png"}, "--palette '9,0,0'"},
        {{"--palette", "0,-1,0", "a.png"}, "--palette"},
        {{"--palette", "1,2", "a.png"}, "--palette"},
        {{"--palette", "1,2,3,4", "a.png"}, "--palette"},
        {{"--palette", "1.0,2,3", "a.png"}, "--palette"},
        {{"--threads", "0", "a.png"}, "--threads '0'"},
        {{"--threads", "1025", "a.png"}, "--threads"},
        {{"--threads", "two", "a.png"}, "--threads"},
        {{"--bogus", "a.png"}, "'--bogus'"},
        {{"-x", "a.png"}, "'-x'"},
        {{"--t", "Julia", "a.png"}, "'--t'"},  // --type or --threads?
        {{"a.png", "--size"}, "'--size' needs a value"},
        {{}, "no OUTPUT"},
        {{"--detail", "60"}, "no OUTPUT"},
        {{"a.png", "b.png"}, "'b.png'"},
        {{"a.jpg"}, "'a.jpg'"},
        {{"a"}, "'a'"},
        {{"--center", "1", "--width", "1", "a.png"}, "--center '1'"},
        {{"--center", "1,2,3", "--width", "1", "a.png"}, "--center"},
        {{"--center", "0x1p3,0", "--width", "1", "a.png"}, "--center"},
        {{"--center", "0." + std::string(10000, '7') + ",0", "--width", "1", "a.png"}, "--center '0.777"},
        {{"--center", "0,0", "--width", "0", "a.png"}, "--width '0'"},
        {{"--center", "0,0", "--width", "-1e-20", "a.png"}, "--width"},
        {{"--center", "0,0", "--width", "1e-20x", "a.png"}, "--width"},
        {{"--center", "0,0", "a.png"}, "--center needs --width"},
        {{"--width", "1e-20", "a.png"}, "--width needs --center"},
        {{"--center", "0,0", "--width", "1", "--view", "0,1,0,1", "a.png"}, "--view"},
        {{"--center", "0,0", "--width", "1", "--from", "x.frc", "a.png"}, "--from"},
        {{"--save-location", "a.qloc", "a.png"}, "--save-location needs"},
        {{"--location", "/nonexistent/a.qloc", "a.png"}, "cannot open"},
        {{"--location", "/", "a.png"}, "cannot read /: Is a directory"},
        {{"--colour", "rainbow", "a.png"}, "--colour 'rainbow'"},
        {{"--colour", "cyclic:0", "a.png"}, "--colour"},
        {{"--colour", "log:1,x", "a.png"}, "--colour"},
        {{"--colour", "histogram:2", "a.png"}, "--colour"},
        {{"--colour", "log:0.1", "a.pgm"}, "write .png or .ppm"},
        {{"--shade", "slopes:400", "a.png"}, "--shade"},
        {{"--shade", "slopes:45,-1", "a.png"}, "--shade"},
        {{"--shade", "slopes", "a.frc"}, "write .png or .ppm"},
        {{"--shade", "distance:0", "a.png"}, "--shade"},
        {{"--shade", "distance:1,2", "a.png"}, "--shade"},
        {{"--shade", "slopes+slopes:9", "a.png"}, "--shade"},
        {{"--shade", "none+distance", "a.png"}, "--shade"},
        {{"--shade", "distance+", "a.png"}, "--shade"},
        {{"--shade", "distance", "a.pgm"}, "write .png or .ppm"},
        {{"--palette", "Fire", "a.png"}, "or a gradient: twilight, fire"},
    };
    expectRefused(refusals);
}

// A location file's words are quoted with their control bytes escaped, and
// an output may be neither an input nor the other output.
TEST(RenderOptions, QuotedFileTextIsEscapedAndNoOutputIsAnInput) {
    const std::string loc = std::string(testing::TempDir()) + "esc.qloc";
    FILE *f = fopen(loc.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs("quorvex-location 1\ntype Mandel\033[2Jbrot\ndetail 5\n", f);
    fclose(f);
    const std::string good = loc + ".png", same = loc + "-same.png";
    f = fopen(good.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs("quorvex-location 1\ntype Mandelbrot\ndetail 5\ncenter 0,0\nwidth 1\npivot 0,0\n", f);
    fclose(f);
    expectRefused({
        {{"--location", loc, "a.png"}, "unknown type 'Mandel\\x1b[2Jbrot'"},
        {{"--center=0,0", "--width", "1", "--save-location", same, same}, "are the same file"},
        {{"--location", good, "--save-location", good, "a.png"}, "is the file --location reads"},
        {{"--location", good, good}, "OUTPUT '" + good + "' is the file --location reads"},
    });
    remove(loc.c_str());
    remove(good.c_str());
}

TEST(RenderOptions, LooksAndTheirDefaults) {
    Parsed p = parse({"--colour", "log:0.5,0.25", "--shade", "slopes:90", "--palette", "ocean", "a.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ("log:0.5,0.25", colourText(p.options.look));
    EXPECT_EQ("slopes:90,1", shadeText(p.options.look));
    EXPECT_EQ("ocean", paletteText(p.options.look, p.options.ramps));
    EXPECT_EQ("slopes:90,1+distance:2.5",
              shadeText(parse({"--shade", "distance:2.5+slopes:90", "a.png"}).options.look));
    EXPECT_EQ("distance:1",
              shadeText(parse({"--shade", "slopes+distance", "--shade", "distance", "a.png"}).options.look));
    EXPECT_EQ(0, p.options.given) << "a look alone does not reshape a --from picture's parameters";
    EXPECT_EQ("cyclic:64,0", colourText(parse({"--color", "cyclic", "a.png"}).options.look));
    EXPECT_EQ("bands", colourText(parse({"--view", "-1,1,-1,1", "a.png"}).options.look));
    EXPECT_EQ("log:0.15,0", colourText(parse({"--center", "0,0", "--width", "1e-20", "a.png"}).options.look));
    EXPECT_EQ("bands", colourText(parse({"--center", "0,0", "--width", "1e-20", "a.pgm"}).options.look));
    EXPECT_EQ("histogram", colourText(parse({"--center=0,0", "--width=1", "--colour=histogram", "a.png"}).options.look));
}

TEST(RenderOptions, ADiveAndItsPictureOptions) {
    Parsed p = parse({"--smooth", "--aa", "8", "--detail", "8421504", "--zoom-to-view", "-0.75,-0.74,0.1,0.11",
                      "--frames", "60", "--fps", "24", "--frame-range", "10:19", "dive/f-%05d.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    const RenderOptions &o = p.options;
    EXPECT_TRUE(o.smooth && isDive(o) && o.framePattern);
    EXPECT_EQ(8, o.aa);
    EXPECT_EQ(8421504, o.params.detail);
    EXPECT_EQ(-0.74, o.zoomTo[1]);
    EXPECT_EQ(0.11, o.zoomTo[3]);
    EXPECT_EQ(60, o.frames);
    EXPECT_EQ(24.0, o.fps);
    EXPECT_EQ(10, o.firstFrame);
    EXPECT_EQ(19, o.lastFrame);
    p = parse({"--zoom-to-view", "-1,1,-1,1", "--frames", "2", "--size", "64x36", "d.webm"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(OUTPUT_WEBM, p.options.outputKind);
    EXPECT_EQ(0, p.options.firstFrame);
    EXPECT_EQ(1, p.options.lastFrame);
    EXPECT_FALSE(p.options.framePattern);
    EXPECT_EQ(RENDER_PARSE_OK, parse({"--zoom-to-view", "-1,1,-1,1", "--frames", "2", "f%d.ppm"}).result);
    EXPECT_EQ(RENDER_PARSE_OK, parse({"--aa", "2", "100%.png"}).result) << "a still's name is taken as it is";
    // --zoom-to takes the saved view, bit for bit.
    std::unique_ptr<FractalFile> f(new FractalFile());
    snprintf(f->typeName, sizeof f->typeName, "Julia");
    f->detail = 50, f->width = f->height = 1;
    f->xStart = -0.7436438870371587, f->xEnd = -0.7436438870371581, f->yStart = 0.1318, f->yEnd = 0.13181;
    const std::string saved = std::string(testing::TempDir()) + "spot.frc";
    ASSERT_TRUE(writeFractalFile(saved.c_str(), *f, nullptr));
    p = parse({"--zoom-to", saved, "--frames", "3", "f%d.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_TRUE(p.options.zoomTo[0] == f->xStart && p.options.zoomTo[1] == f->xEnd &&
                p.options.zoomTo[2] == f->yStart && p.options.zoomTo[3] == f->yEnd);
    remove(saved.c_str());
}

TEST(RenderOptions, WhatADiveRefuses) {
    const std::string damaged = std::string(testing::TempDir()) + "damaged.frc";
    FILE *f = fopen(damaged.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs("QUORVEX\nMandelbrot\n50\n-5\n5\n0\n-5\n5\n0\nP5\n2 2\n255\nab", f);  // two bytes short
    fclose(f);
    const std::vector<std::string> dive = {"--zoom-to-view", "-1,1,-1,1", "--frames", "12"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), dive.begin(), dive.end());
        return more;
    };
    const std::vector<Refusal> refusals = {
        {{"--zoom-to-view", "-1,1,-1,1", "--frames", "1", "d/%d.png"}, "--frames '1'"},
        {{"--aa", "0", "a.png"}, "--aa '0'"},
        {{"--aa", "9", "a.png"}, "--aa '9'"},
        {with({"--frame-range", "5:12", "d/%d.png"}), "0..11"},
        {with({"--frame-range", "7:6", "d/%d.png"}), "--frame-range '7:6'"},
        {with({"--frame-range", "-1:3", "d/%d.png"}), "--frame-range"},
        {with({"d/frame.png"}), "frame-number field"},
        {with({"d/%d-%d.png"}), "frame-number field"},
        {with({"d/%s.png"}), "frame-number field"},
        {with({"d/%d.pgm"}), ".png or .ppm"},
        {with({"--frame-range", "0:3", "d.mp4"}), "pattern"},
        {with({"--size", "641x360", "d.mp4"}), "even"},
        {{"--zoom-to", damaged, "--frames", "12", "d/%d.png"}, "truncated"},
        {{"--zoom-to", damaged + ".missing", "--frames", "12", "d/%d.png"}, "--zoom-to"},
        {{"--zoom-to-view", "-1,1,-1,1", "--zoom-to", damaged, "d/%d.png"}, "one last frame"},
        {{"--zoom-to-view", "-1,1,-1,1", "--zoom-to-width", "1", "d/%d.png"}, "one last frame"},
        {{"--zoom-to-center", "0,1", "--zoom-to-width", "1e-30", "--frames", "5", "d/%d.png"},
         "need the first frame as a location"},
        {{"--center=0,1", "--width", "1", "--zoom-to-center", "0,1", "--frames", "5", "d/%d.png"},
         "--zoom-to-center needs --zoom-to-width"},
        {{"--center=0,1", "--width", "1e-20", "--zoom-to-view", "-1,1,-1,1", "--frames", "5", "d/%d.png"},
         "needs its last frame as --zoom-to-center"},
        {{"--center=0,1", "--width", "2", "--zoom-to-center", "0,1", "--zoom-to-width", "1e-20", "--save-location",
          "x.qloc", "--frames", "5", "d/%d.png"}, "still"},
        {{"--zoom-to-view", "1,1,2,3", "--frames", "2", "d/%d.png"}, "--zoom-to-view"},
        {{"--zoom-to-view", "-1,1,-1,1", "d/%d.png"}, "--frames"},
        {{"--frames", "12", "d/%d.png"}, "--zoom-to"},
        {{"--fps", "0", "a.png"}, "--fps"},
        {with({"--fps", "1e-12", "d.mkv"}), "--fps '1e-12': expected a number from 0.01"},
        {with({std::string(5000, 'n') + "%d.png"}), "is longer than"},
        {{"d/%03d.png"}, "for a dive"},
        {{"d.mkv"}, "for a dive"},
        {{"--smooth", "a.pgm"}, "--smooth and --aa"},
        {{"--aa", "2", "a.frc"}, "--smooth and --aa"},
    };
    expectRefused(refusals);
    remove(damaged.c_str());
}

TEST(RenderOptions, ALocationSetsTheViewFromItsDigits) {
    // Shallow: the exact edges rounded once, and the double kernels draw it.
    Parsed p = parse({"--center=-0.75,0.25", "--width", "0.5", "--size", "400x100", "--pivot",
                      "0.1000000000000000000000000000001,2", "--no-approximation", "a.pgm"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(-1.0, p.options.params.xStart);
    EXPECT_EQ(-0.5, p.options.params.xEnd);
    EXPECT_EQ(0.1875, p.options.params.yStart);
    EXPECT_EQ(0.3125, p.options.params.yEnd);
    EXPECT_EQ(0.1, p.options.params.xPivot);
    EXPECT_EQ("0.1000000000000000000000000000001", p.options.location.pivotRe) << "every digit kept";
    EXPECT_TRUE(p.located && !p.deep && !p.options.approximation);
    // Deep: every digit kept, and the deep engine draws it.
    const std::string re = "-1.7548776662466927600495088963585286918946066177727931439892839706460806551280810907382270928422503037";
    p = parse({"--center", re + ",0", "--width", "1e-90", "--type", "M-Dragon", "--detail", "8421504", "a.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(re, p.options.location.re);
    EXPECT_EQ("1e-90", p.options.location.width);
    EXPECT_EQ(M_DRAGON_TYPE, p.options.location.type);
    EXPECT_EQ(8421504, p.options.location.detail);
    EXPECT_TRUE(p.deep);
    EXPECT_EQ(-1.7548776662466928, p.options.params.xStart) << "the nearest double";
    for (const char *type : {"M-Phoenix", "J-Cosh"}) {  // every type reaches any depth
        p = parse({"--center", "0,0", "--width", "1e-13", "--type", type, "a.png"});
        ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
        EXPECT_TRUE(p.deep) << type;
    }
    // A location file under what the command line gives.
    const char *path = "/tmp/quorvex-render-options.qloc";
    FILE *f = fopen(path, "w");
    ASSERT_NE(nullptr, f);
    fprintf(f, "quorvex-location 1\ntype Julia\ndetail 777\ncenter 0.25,-0.5\nwidth 1e-30\npivot -0.75,0.125\n");
    fclose(f);
    p = parse({"--location", path, "--detail", "99", "b.png"});
    remove(path);
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(JULIA_TYPE, p.options.params.type);
    EXPECT_EQ(99, p.options.params.detail);
    EXPECT_EQ(-0.75, p.options.params.xPivot);
    EXPECT_EQ("1e-30", p.options.location.width);
    EXPECT_TRUE(p.deep);
}

TEST(RenderOptions, ADiveBetweenLocations) {
    // Both ends within the doubles' reach: a dive in doubles, to the last location's view.
    Parsed p = parse({"--center=-0.5,0", "--width", "4", "--zoom-to-center=-0.75,0.25", "--zoom-to-width", "0.5",
                      "--size", "400x100", "--frames", "3", "d/%d.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_TRUE(isDive(p.options) && !p.deepDive);
    EXPECT_TRUE(p.options.zoomTo[0] == -1.0 && p.options.zoomTo[1] == -0.5 && p.options.zoomTo[2] == 0.1875 &&
                p.options.zoomTo[3] == 0.3125);
    // To a deep end, from a location file: every digit kept, the start's type, detail and pivot.
    const char *path = "/tmp/quorvex-render-options-dive.qloc";
    FILE *f = fopen(path, "w");
    ASSERT_NE(nullptr, f);
    fprintf(f, "quorvex-location 1\ntype Mandelbrot\ndetail 5\ncenter 0.25,-0.5000000000000000000000000001\n"
               "width 1e-30\npivot 0,0\n");
    fclose(f);
    p = parse({"--center=0,0", "--width", "4", "--type", "Julia", "--pivot", "0.25,0.5", "--zoom-to", path,
               "--frames", "3", "d.webm"});
    remove(path);
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_TRUE(p.deepDive);
    EXPECT_EQ("-0.5000000000000000000000000001", p.options.zoomLocation.im);
    EXPECT_TRUE(p.options.zoomLocation.type == JULIA_TYPE && p.options.zoomLocation.detail == 50 &&
                p.options.zoomLocation.pivotRe == "0.25");
}

// The seahorse picture of the deep benchmark, 7.1e-30 wide at 16:9: a
// period-8007 minibrot sits in it.
const char *const SEAHORSE = "--center=-0.743643887037158704752191506114774,0.131825904205311970493132056385139";

TEST(RenderOptions, TheMinibrotFoundInALocationIsTheStillOrTheDivesEnd) {
    const std::vector<std::string> picture = {SEAHORSE, "--width", "7.1e-30", "--size", "1280x720",
                                              "--detail", "10000"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), picture.begin(), picture.end());
        return more;
    };
    Parsed p = parse(with({"--find-minibrot", "a.png"}));
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_TRUE(p.deep && !isDive(p.options));
    EXPECT_EQ(0u, p.options.location.re.find("-0.74364388703715870475219150611477977")) << p.options.location.re;
    const double width = decimalToDouble(p.options.location.width);
    EXPECT_TRUE(width > 2e-32 && width < 7.1e-30) << "framed inside the picture: " << width;
    const DeepLocation still = p.options.location;
    p = parse(with({"--zoom-to-minibrot", "--frames", "30", "d/%d.png"}));
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_TRUE(p.deepDive && p.options.zoomLocated);
    EXPECT_TRUE(p.options.zoomLocation.re == still.re && p.options.zoomLocation.width == still.width);
    EXPECT_EQ("7.1e-30", p.options.location.width) << "the dive starts where it was asked to";
    p = parse(with({"--find-minibrot", "spot.qloc"}));
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(OUTPUT_LOCATION, p.options.outputKind);
    // Nothing to find is a failure, not a bad command line.
    RenderOptions o = defaultRenderOptions();
    ASSERT_TRUE(setCentre(o.location, "1,1", nullptr) && setWidth(o.location, "1e-20", nullptr));
    o.given |= GIVEN_CENTER | GIVEN_WIDTH, o.findMinibrot = 1, o.outputPath = "a.png";
    std::unique_ptr<RenderPlan> plan(new RenderPlan());
    char reason[RENDER_REASON_SIZE] = "";
    EXPECT_EQ(PLAN_FAILED, planRender(o, *plan, nullptr, reason));
    EXPECT_NE(nullptr, strstr(reason, "escapes")) << reason;
    const std::vector<Refusal> refusals = {
        {{"--find-minibrot", "a.png"}, "search the picture of a location"},
        {{"--zoom-to-minibrot", "--frames", "5", "d/%d.png"}, "search the picture of a location"},
        {with({"--find-minibrot", "--zoom-to-view", "-1,1,-1,1", "--frames", "3", "d/%d.png"}), "--zoom-to-minibrot"},
        {with({"--zoom-to-minibrot", "--zoom-to-view", "-1,1,-1,1", "--frames", "3", "d/%d.png"}), "one last frame"},
        {with({"--zoom-to-minibrot", "--frames", "3", "d.qloc"}), "not of a dive"},
        {with({"--smooth", "a.qloc"}), "--smooth and --aa"},
        {with({"--colour", "histogram", "a.qloc"}), "--colour and --shade"},
        {{"a.qloc"}, "writes a location"},
        {with({"--type", "J-Cosine", "--find-minibrot", "a.png"}), "J-Cosine has no minibrots"},
        {with({"--type", "M-Phoenix", "--zoom-to-minibrot", "--frames", "3", "d/%d.png"}), "no critical point"},
    };
    expectRefused(refusals);
}

TEST(RenderOptions, ParsingAgainStartsAfresh) {
    // getopt keeps its place between calls unless it is told to start over.
    ASSERT_EQ(RENDER_PARSE_USAGE, parse({"--detail", "0", "a.png"}).result);
    const Parsed p = parse({"--detail", "70", "b.ppm"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_EQ(70, p.options.params.detail);
    EXPECT_STREQ("b.ppm", p.options.outputPath);
}

// A still in tiles: the grid, the range (every tile when not given), the
// join's pattern, and what goes with neither.
TEST(RenderOptions, TilesAndTheirJoin) {
    Parsed p = parse({"--size", "64x48", "--tiles", "4x3", "--tile-range", "2:5", "t/%03d"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_TRUE(makesTiles(p.options));
    EXPECT_TRUE(p.options.tileColumns == 4 && p.options.tileRows == 3 && p.options.firstTile == 2 &&
                p.options.lastTile == 5);
    p = parse({"--size", "64x48", "--tiles", "4x3", "--join", "t/%03d", "poster.png"});
    ASSERT_EQ(RENDER_PARSE_OK, p.result) << p.reason;
    EXPECT_FALSE(makesTiles(p.options));
    EXPECT_STREQ("t/%03d", p.options.joinPattern);
    EXPECT_EQ(11, parse({"--size", "64x48", "--tiles", "4x3", "t%d"}).options.lastTile);
    const std::vector<Refusal> refusals = {
        {{"--tiles", "0x3", "t%d"}, "--tiles '0x3'"},
        {{"--tiles", "257x1", "t%d"}, "1..256"},
        {{"--tiles", "4x3", "--tile-range", "5:12", "t%d"}, "0..11"},
        {{"--tiles", "4x3", "--tile-range", "5:4", "t%d"}, "--tile-range '5:4'"},
        {{"--tile-range", "0:1", "t%d"}, "need --tiles"},
        {{"--join", "t%d", "p.png"}, "need --tiles"},
        {{"--tiles", "2x2", "t.png"}, "tile-number field"},
        {{"--tiles", "2x2", "--join", "t", "p.png"}, "tile-number field"},
        {{"--tiles", "2x2", "--join", "t%d", "p.frc"}, "of a join"},
        {{"--tiles", "2x2", "--join", "t%d", "p.qloc"}, "of a join"},
        {{"--tiles", "2x2", "--join", "t%d", "--tile-range", "0:1", "p.png"}, "--join joins them all"},
        {{"--tiles", "2x2", "--zoom-to-view", "-1,1,-1,1", "--frames", "3", "t%d"}, "not a dive"},
        {{"--tiles", "2x2", "--save-location", "x.qloc", "t%d"}, "give it to the --join"},
        {{"--size", "8x8", "--tiles", "9x1", "t%d"}, "fewer pixels than tiles"},
        {{"--tiles", "2x2", "--join", "p%d.png", "p1.png"}, "is tile 1 of the join"},
    };
    expectRefused(refusals);
}

TEST(RenderOptions, HelpNamesEveryOption) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    ASSERT_NE(nullptr, out);
    writeRenderHelp(out);
    fclose(out);
    const std::string help(text, size);
    free(text);
    for (const char *name : {"--type", "--detail", "--view", "--pivot", "--size", "--palette", "--threads",
                             "--from", "--help", ".png", ".ppm", ".pgm", ".frc", "M-Dragon", "--smooth", "--aa",
                             "--zoom-to", "--zoom-to-view", "--frames", "--fps", "--frame-range", ".mp4", ".webm",
                             ".mkv", "M-Cosh", "--center", "--width", "--location", "--save-location",
                             "--no-approximation", "1e-12", "8421504", "--zoom-to-center", "--zoom-to-width",
                             "up to 4096 characters", "from the same dive", "both\n                       files or neither",
                             "--colour", "--gradient", "--shade", "histogram", "twilight", "log:0.15",
                             "--find-minibrot", "--zoom-to-minibrot", ".qloc", "--tiles", "--tile-range", "--join"})
        EXPECT_NE(std::string::npos, help.find(name)) << name;
    EXPECT_EQ(std::string::npos, help.find("any length"));
}

}  // namespace
