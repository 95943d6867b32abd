// A piece of work kept across two runs of the real program: made, saved
// and exported in the first, loaded from the list and exported again in the
// second, checked on the screen and on the files.
#include <string>

#include "journey_support.h"

namespace journey {
namespace {

const int DETAIL = 100;  // one Detail+ from the start value

TEST_F(Journey, SaveQuitStartAgainLoadAndExport) {
    // First run: Detail+, Make, Save "first", Export "before".
    startProgram();
    click(DETAIL_PLUS);
    click(MAKE);
    writeUnder(SAVE, "first");
    ASSERT_TRUE(waitForFile("first.frc")) << "Save + Accept wrote no first.frc";

    const std::string header =
        parameterHeader("Mandelbrot", DETAIL, -5.0, 5.0, 0.0, -5.0, 5.0, 0.0, GRID, GRID);
    const std::string saved = readWhole(path("first.frc"));
    ASSERT_EQ(header.size() + (size_t)GRID * GRID, saved.size());
    EXPECT_EQ(header, saved.substr(0, header.size()));
    const Grid grid = gridOfFile(saved, header.size(), GRID, GRID);
    const Grid reference = referenceGrid(MANDELBROT_TYPE, defaultView(DETAIL));
    EXPECT_TRUE(grid.cells == reference.cells) << "the saved grid is the computed Mandelbrot set";

    const Image picture = colouredGrid(grid, 0, 0, 0);
    const Image firstRun =
        waitForScreen([](const Image &w) { return !lineInk(w, rowBaseline(0)).any(); });
    EXPECT_EQ(0, comparePictures("journey-first-run", picture, imageOnScreen(firstRun)));
    EXPECT_EQ(0, strayInk(firstRun, {})) << "a successful save says nothing";

    writeUnder(EXPORT, "before");
    ASSERT_TRUE(waitForFile("before.ppm"));
    EXPECT_EQ(0, comparePictures("journey-before-ppm", picture, readExport(path("before.ppm"))));
    exitWithStatusZero();
    s.stop();

    // Second run in the same directory: another type chosen, then the file.
    startProgram();
    const Image fresh = settledShot();
    EXPECT_NE(readout(firstRun).rgb, readout(fresh).rgb) << "the new run starts from its defaults";
    click(TYPE);
    click(LOAD);
    const Image list =
        waitForScreen([](const Image &w) { return lineOfLength(w, rowBaseline(0), 9); });
    EXPECT_EQ(0, strayInk(list, {rowBaseline(0)})) << "one name in the list: first.frc";
    click(listRow(0));

    // No Make: the picture and the readout come from the file.
    const Image loaded =
        waitForScreen([&](const Image &w) { return imageOnScreen(w).rgb == picture.rgb; });
    EXPECT_EQ(0, comparePictures("journey-loaded", picture, imageOnScreen(loaded)));
    EXPECT_EQ(0, comparePictures("journey-loaded-readout", readout(firstRun), readout(loaded)))
        << "type Mandelbrot, detail 100 and the view, as when it was saved";
    EXPECT_EQ(0, strayInk(loaded, {})) << "the list is closed";

    writeUnder(EXPORT, "after");
    ASSERT_TRUE(waitForFile("after.ppm"));
    EXPECT_TRUE(readWhole(path("before.ppm")) == readWhole(path("after.ppm")))
        << "the loaded work exports the same image";
    exitWithStatusZero();
}

}  // namespace
}  // namespace journey
