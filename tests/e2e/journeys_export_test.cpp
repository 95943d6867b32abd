// Zoom into a corner, Make, other palettes, Export: the exported image is
// the grid through the selected ramps, pixel for pixel, and the screen
// shows the same colours.
#include <string>

#include "journey_support.h"

namespace journey {
namespace {

TEST_F(Journey, ZoomedImageInOtherColoursIsExportedAsShown) {
    startProgram();
    click(MAKE);
    // The top-left corner of the image, dragged to its middle.
    const int x0 = IMAGE_LEFT + 5, y0 = IMAGE_TOP - 5, x1 = IMAGE_LEFT + 305, y1 = IMAGE_TOP - 405;
    click(ZOOM_IN);
    s.x.drag(x0, y0, x1, y1);
    s.x.settle(150);
    click(MAKE);
    click(RED);
    click(RED);
    click(GREEN);  // red ramp 2, green ramp 1, blue ramp 0
    writeUnder(SAVE, "grid");
    writeUnder(EXPORT, "pic");
    ASSERT_TRUE(waitForFile("pic.ppm")) << "Export + Accept wrote no pic.ppm";
    ASSERT_TRUE(waitForFile("grid.frc"));

    const double xStart = mapX(x0), yStart = mapY(y0), xEnd = mapX(x1), yEnd = mapY(y1);
    const std::string header =
        parameterHeader("Mandelbrot", 50, xStart, xEnd, 0.0, yStart, yEnd, 0.0, GRID, GRID);
    const std::string saved = readWhole(path("grid.frc"));
    ASSERT_EQ(header, saved.substr(0, header.size())) << "the zoomed view was saved";
    const Grid grid = gridOfFile(saved, header.size(), GRID, GRID);
    ASSERT_EQ((size_t)GRID * GRID, grid.cells.size());
    const KernelView zoomed = {
        GRID, 50, xStart, (xEnd - xStart) / GRID, yStart, (yEnd - yStart) / GRID, 0.0, 0.0};
    EXPECT_TRUE(grid.cells == referenceGrid(MANDELBROT_TYPE, zoomed).cells)
        << "the program's grid is the zoomed Mandelbrot set";

    const std::string ppm = readWhole(path("pic.ppm"));
    EXPECT_EQ("P6\n800 800\n255\n", ppm.substr(0, 15));
    EXPECT_EQ(15u + 3u * GRID * GRID, ppm.size());
    const Image expected = colouredGrid(grid, 2, 1, 0);
    EXPECT_EQ(0, comparePictures("journey-pic-ppm", expected, readExport(path("pic.ppm"))));
    EXPECT_EQ(0, comparePictures("journey-pic-screen", expected, imageOnScreen(shot())));
    EXPECT_NE(expected.rgb, colouredGrid(grid, 0, 0, 0).rgb) << "the ramps made a difference";
    exitWithStatusZero();
}

}  // namespace
}  // namespace journey
