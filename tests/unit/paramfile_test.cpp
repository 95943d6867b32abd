// The parameter file: what a save writes, what a load accepts, and that a
// refused load or a failed save never costs the user anything.
#include "files/paramfile.h"

#include <dirent.h>
#include <float.h>
#include <math.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/state.h"
#include "files/header_tokens.h"
#include "test_files.h"

namespace {

// ---- test plumbing ---------------------------------------------------------

// Runs `body` in a child process; returns its exit status, or -1.
int inChild(const std::function<int()> &body) {
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Every program-wide value the loader may touch, compared bit for bit.
struct Snapshot {
    int width, height, limit, type, absent;
    double values[8];
    std::string typeName;
    std::vector<unsigned char> grid;

    static Snapshot take() {
        return Snapshot{fracWidth, fracHeight, detail, fType, noFractal,
                        {xStart, xEnd, xPivot, yStart, yEnd, yPivot, xScale, yScale},
                        fracType, std::vector<unsigned char>(fractal, fractal + GRID_CELLS)};
    }
    bool operator==(const Snapshot &o) const {
        return width == o.width && height == o.height && limit == o.limit && type == o.type &&
               absent == o.absent && memcmp(values, o.values, sizeof values) == 0 &&
               typeName == o.typeName && grid == o.grid;
    }
};

unsigned char patternByte(int r, int c, int seed) {
    return (unsigned char)(r * 7 + c * 13 + seed * 31);
}

void fillGrid(int seed) {
    for (int r = 0; r < GRID_SIZE; ++r)
        for (int c = 0; c < GRID_SIZE; ++c) fractal[r * GRID_SIZE + c] = patternByte(r, c, seed);
}

// A state unlike the start state in every value.
void setDistinctState() {
    resetFractalState();
    setFractalType(3);
    detail = 150;
    xStart = -1.25, xEnd = 0.75, xPivot = 0.3125;
    yStart = -0.5, yEnd = 1.5, yPivot = -0.0625;
    fracWidth = 640, fracHeight = 480;
    applyScaleRule();
    noFractal = 0;
    fillGrid(1);
}

std::string pixels(int w, int h, int seed) {
    std::string bytes;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) bytes += (char)patternByte(r, c, seed);
    return bytes;
}

std::string header(int w, int h, const std::string &type = "Julia") {
    return "QUORVEX\n" + type + "\n200\n-1.5\n0.5\n0.25\n-1\n1\n-0.125\nP5\n" + std::to_string(w) +
           " " + std::to_string(h) + "\n255\n";
}

std::string validFile(int w, int h) { return header(w, h) + pixels(w, h, 2); }

int load(const std::string &path) { return LOAD_FRACTAL(const_cast<char *>(path.c_str())); }
int save(const std::string &path) { return SAVE_FRACTAL(const_cast<char *>(path.c_str())); }

bool sameBits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

void expectBlock(int w, int h, const std::function<unsigned char(int, int)> &expected) {
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            ASSERT_EQ(fractal[r * GRID_SIZE + c], expected(r, c)) << "cell " << r << ", " << c;
}

class ParamFile : public ::testing::Test {
protected:
    TempDir dir{"paramfile"};
    void SetUp() override { setDistinctState(); }
};

// ---- writing ----------------------------------------------------------------

TEST_F(ParamFile, StartStateWritesTheFormatLinesThenTheWholeGrid) {
    resetFractalState();
    fillGrid(5);
    ASSERT_EQ(save(dir / "start.frc"), 1) << fileError;
    const std::string expected =
        "QUORVEX\nMandelbrot\n50\n-5.000000\n5.000000\n0.000000\n-5.000000\n5.000000\n0.000000\n"
        "P5\n800 800\n255\n";
    const std::string bytes = readBytes(dir / "start.frc");
    ASSERT_EQ(bytes.size(), expected.size() + 640000u);
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    EXPECT_EQ(bytes.substr(expected.size()), std::string((const char *)fractal, GRID_CELLS));
}

TEST_F(ParamFile, TypeLineIsTheTypeTextVerbatim) {
    snprintf(fracType, sizeof fracType, "%s", "mandelbrot");  // as an earlier load may leave it
    ASSERT_EQ(save(dir / "t.frc"), 1) << fileError;
    EXPECT_EQ(readBytes(dir / "t.frc").substr(0, 19), "QUORVEX\nmandelbrot\n");
}

TEST_F(ParamFile, ReplacingAFileLeavesNoTemporaryAndKeepsItsPermissions) {
    writeBytes(dir / "old.frc", "earlier content");
    ASSERT_EQ(chmod((dir / "old.frc").c_str(), 0640), 0);
    ASSERT_EQ(save(dir / "old.frc"), 1) << fileError;
    EXPECT_EQ(entriesOf(dir.path), std::vector<std::string>{"old.frc"});
    struct stat st;
    ASSERT_EQ(stat((dir / "old.frc").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(dir / "old.frc").substr(0, 8), "QUORVEX\n");
}

TEST_F(ParamFile, SavingThroughASymbolicLinkReplacesTheFileItPointsAt) {
    writeBytes(dir / "real.frc", "earlier content");
    ASSERT_EQ(symlink("real.frc", (dir / "link.frc").c_str()), 0);
    ASSERT_EQ(save(dir / "link.frc"), 1) << fileError;
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.frc").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readBytes(dir / "real.frc").substr(0, 8), "QUORVEX\n");
}

TEST_F(ParamFile, ADanglingLinkGetsItsTargetAndStaysALink) {
    ASSERT_EQ(symlink("sub/new.frc", (dir / "link.frc").c_str()), 0);
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    ASSERT_EQ(save(dir / "link.frc"), 1) << fileError;
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.frc").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readBytes(dir / "sub/new.frc").substr(0, 8), "QUORVEX\n");
    EXPECT_EQ(entriesOf(dir / "sub"), std::vector<std::string>{"new.frc"});
}

TEST_F(ParamFile, AFifoGetsTheFileAndASocketIsRefused) {
    ASSERT_EQ(mkfifo((dir / "pipe.frc").c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = readBytes(dir / "pipe.frc"); });
    EXPECT_EQ(save(dir / "pipe.frc"), 1) << fileError;
    reader.join();
    ASSERT_EQ(save(dir / "file.frc"), 1) << fileError;
    EXPECT_TRUE(piped == readBytes(dir / "file.frc")) << piped.substr(0, 90);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", (dir / "sock.frc").c_str());
    ASSERT_EQ(bind(sock, (sockaddr *)&address, sizeof address), 0);
    EXPECT_EQ(save(dir / "sock.frc"), 0);
    EXPECT_NE(strstr(fileError, "sock.frc is a socket"), nullptr) << fileError;
    close(sock);
    struct stat st;
    EXPECT_TRUE(lstat((dir / "pipe.frc").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(lstat((dir / "sock.frc").c_str(), &st) == 0 && S_ISSOCK(st.st_mode));
    EXPECT_EQ(entriesOf(dir.path).size(), 3u) << "no temporary, no other file";
}

TEST_F(ParamFile, AReasonTooLongKeepsItsStartAndItsCause) {
    char reason[FILE_ERROR_SIZE];
    setReason(reason, "cannot write %s: %s", std::string(300, 'n').c_str(), "No space left on device");
    const std::string said = reason;
    EXPECT_EQ(said.size(), FILE_ERROR_SIZE - 1u);
    EXPECT_EQ(said.substr(0, 14), "cannot write n");
    EXPECT_NE(said.find("n...n"), std::string::npos) << "cut in the name: " << said;
    EXPECT_EQ(said.substr(said.size() - 28), "nnn: No space left on device");
}

TEST_F(ParamFile, StateThatCouldNotBeLoadedBackIsNotWritten) {
    snprintf(fracType, sizeof fracType, "%s", "two words");
    EXPECT_EQ(save(dir / "a.frc"), 0);
    fracType[0] = '\0';
    EXPECT_EQ(save(dir / "b.frc"), 0);
    EXPECT_NE(fileError[0], '\0');
    EXPECT_TRUE(entriesOf(dir.path).empty());
}

// ---- round trips -----------------------------------------------------------

class RoundTrip : public ParamFile, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(RoundTrip, RestoresTypeDetailSizeEveryGridByteAndTheViewBitForBit) {
    const int w = GetParam().first, h = GetParam().second;
    setFractalType(7);
    detail = 4321;
    xStart = -0.123456789, xEnd = 0.987654321, xPivot = 1e-7;
    yStart = -2.0000004, yEnd = 3.25, yPivot = -0.7500005;
    fracWidth = w, fracHeight = h;
    fillGrid(9);
    const Snapshot saved = Snapshot::take();
    ASSERT_EQ(save(dir / "rt.frc"), 1) << fileError;

    setDistinctState();
    fillGrid(4);
    ASSERT_EQ(load(dir / "rt.frc"), 1) << fileError;
    EXPECT_EQ(fType, 7);
    EXPECT_STREQ(fracType, "J-Cosine");
    EXPECT_EQ(detail, 4321);
    EXPECT_EQ(fracWidth, w);
    EXPECT_EQ(fracHeight, h);
    for (int i = 0; i < 6; ++i) {
        const double *now[] = {&xStart, &xEnd, &xPivot, &yStart, &yEnd, &yPivot};
        EXPECT_TRUE(sameBits(*now[i], saved.values[i])) << "double " << i << ": " << *now[i];
    }
    expectBlock(w, h, [](int r, int c) { return patternByte(r, c, 9); });
    // Cells outside the block keep what the grid held before the load.
    for (int r = 0; r < GRID_SIZE; ++r)
        for (int c = (r < h ? w : 0); c < GRID_SIZE; ++c)
            ASSERT_EQ(fractal[r * GRID_SIZE + c], patternByte(r, c, 4)) << r << ", " << c;
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTrip,
                         ::testing::Values(std::make_pair(800, 800), std::make_pair(400, 300),
                                           std::make_pair(1, 1), std::make_pair(800, 1)));

TEST_F(ParamFile, ViewEdgesCloserThanAMillionthStayApart) {
    xStart = 0.3000001, xEnd = 0.3000004;
    ASSERT_EQ(save(dir / "thin.frc"), 1) << fileError;
    ASSERT_EQ(load(dir / "thin.frc"), 1) << fileError;
    EXPECT_EQ(xStart, 0.3000001);
    EXPECT_EQ(xEnd, 0.3000004);
}

// ---- the numbers of the view ---------------------------------------------------

std::string formatted(double v) {
    char text[NUMBER_TOKEN_SIZE];
    formatParameterNumber(text, v);
    return text;
}

std::string printed(const char *format, double v) {
    char text[NUMBER_TOKEN_SIZE];
    snprintf(text, sizeof text, format, v);
    return text;
}

TEST(ParameterNumbers, SixDecimalsAndTheSpecialValuesKeepTheTextOfLf) {
    for (double v : {0.0, -0.0, 5.0, -5.0, 0.25, -0.743675, 123456.654321, 1e15, 1e300, -DBL_MAX,
                     (double)INFINITY, -(double)INFINITY, (double)NAN, -(double)NAN})
        EXPECT_EQ(formatted(v), printed("%lf", v)) << v;
    EXPECT_EQ(formatted(-0.0), "-0.000000");
}

TEST(ParameterNumbers, OtherValuesTakeTheShortestOfFifteenToSeventeenDigitsThatReadsBack) {
    EXPECT_EQ(formatted(-0.7436749999999999), "-0.7436749999999999");
    EXPECT_EQ(formatted(0.1234567), "0.1234567");
    EXPECT_EQ(formatted(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(formatted(1e-7), "1e-07");
    EXPECT_EQ(formatted(std::numeric_limits<double>::denorm_min()), "4.94065645841247e-324");
}

// A file written with these values reads back with every bit of each.
void expectFileRoundTrip(const TempDir &dir, const double (&values)[6]) {
    static FractalFile out, in;
    memset(&out, 0, sizeof out);
    snprintf(out.typeName, sizeof out.typeName, "%s", "Julia");
    out.detail = 50, out.width = out.height = 1;
    out.xStart = values[0], out.xEnd = values[1], out.xPivot = values[2];
    out.yStart = values[3], out.yEnd = values[4], out.yPivot = values[5];
    char reason[FILE_ERROR_SIZE] = "";
    ASSERT_EQ(writeFractalFile((dir / "n.frc").c_str(), out, reason), 1) << reason;
    ASSERT_EQ(readFractalFile((dir / "n.frc").c_str(), in, reason), 1) << reason;
    const double back[6] = {in.xStart, in.xEnd, in.xPivot, in.yStart, in.yEnd, in.yPivot};
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(sameBits(back[k], values[k])) << printed("%.17g", values[k]) << " came back as "
                                                  << printed("%.17g", back[k]);
}

TEST_F(ParamFile, ViewsOfEveryDepthComeBackBitForBit) {
    srand(13);
    const auto unit = [] { return (double)rand() / RAND_MAX; };
    for (double width = 1.0; width >= 1e-15; width /= 10) {
        for (int k = 0; k < 6; ++k) {
            const double cx = 4 * unit() - 2, cy = 4 * unit() - 2;
            const double values[6] = {cx - width * unit(), cx + width * unit(), cx,
                                      cy - width * unit(), cy + width * unit(), cy * width};
            expectFileRoundTrip(dir, values);
        }
    }
}

TEST_F(ParamFile, ExtremeDoublesComeBackBitForBit) {
    const double subnormal = std::numeric_limits<double>::denorm_min();
    expectFileRoundTrip(dir, {-0.0, DBL_MAX, -DBL_MAX, DBL_MIN, -DBL_MIN, subnormal});
    expectFileRoundTrip(dir, {DBL_MIN - subnormal, -subnormal, 0.0, -0.0, 1e-320, 6e-5});
}

TEST_F(ParamFile, PlainDataLayerRoundTripsWithoutTouchingTheProgramState) {
    static FractalFile out, in;
    memset(&out, 0, sizeof out);
    snprintf(out.typeName, sizeof out.typeName, "%s", "M-Phoenix");
    out.detail = 77;
    out.xStart = -2, out.xEnd = 1, out.xPivot = 0.5, out.yStart = -1.5, out.yEnd = 1.5, out.yPivot = 0;
    out.width = 33, out.height = 21;
    for (int r = 0; r < 21; ++r)
        for (int c = 0; c < 33; ++c) out.grid[r * GRID_SIZE + c] = patternByte(r, c, 3);
    const Snapshot before = Snapshot::take();
    char reason[FILE_ERROR_SIZE] = "";
    ASSERT_EQ(writeFractalFile((dir / "p.frc").c_str(), out, reason), 1) << reason;
    ASSERT_EQ(readFractalFile((dir / "p.frc").c_str(), in, reason), 1) << reason;
    EXPECT_TRUE(Snapshot::take() == before);
    EXPECT_STREQ(in.typeName, "M-Phoenix");
    EXPECT_EQ(in.type, 4);
    EXPECT_EQ(in.detail, 77);
    EXPECT_EQ(in.width, 33);
    EXPECT_EQ(in.height, 21);
    EXPECT_EQ(in.xStart, -2.0);
    EXPECT_EQ(in.yStart, -1.5);
    for (int r = 0; r < 21; ++r)
        EXPECT_EQ(memcmp(in.grid + r * GRID_SIZE, out.grid + r * GRID_SIZE, 33), 0) << "row " << r;
    EXPECT_EQ(readFractalFile((dir / "missing.frc").c_str(), in, reason), 0);
    EXPECT_NE(strstr(reason, "cannot open"), nullptr) << reason;
    const std::atomic<int> stop{1};
    EXPECT_EQ(readFractalFile((dir / "p.frc").c_str(), in, reason, &stop), 0);
    EXPECT_STREQ(reason, "interrupted");
}

// ---- what a load accepts ---------------------------------------------------

TEST_F(ParamFile, FieldsSeparatedBySpacesOrSeveralLineFeedsLoadTheSame) {
    const std::string body = pixels(4, 3, 2);
    writeBytes(dir / "spaces.frc", "QUORVEX Julia 200 -1.5 0.5 0.25 -1 1 -0.125 P5\n4 3 255\n" + body);
    writeBytes(dir / "feeds.frc", "QUORVEX\n\n\nJulia\n\n200\n\n-1.5\n0.5\n\n\n0.25\n-1\n1\n-0.125\n\n"
                                  "P5\n\n4\n\n3\n\n255\n" + body);
    for (const char *name : {"spaces.frc", "feeds.frc"}) {
        setDistinctState();
        ASSERT_EQ(load(dir / name), 1) << name << ": " << fileError;
        EXPECT_EQ(fType, 1) << name;
        EXPECT_EQ(detail, 200) << name;
        EXPECT_EQ(yPivot, -0.125) << name;
        EXPECT_EQ(fracWidth, 4) << name;
        expectBlock(4, 3, [](int r, int c) { return patternByte(r, c, 2); });
    }
}

TEST_F(ParamFile, CarriageReturnBeforeThePixelsShiftsThemByOne) {
    std::string file = validFile(4, 3);
    file.insert(header(4, 3).size() - 1, "\r");  // "255\r\n" then the pixels
    writeBytes(dir / "crlf.frc", file);
    ASSERT_EQ(load(dir / "crlf.frc"), 1) << fileError;
    const std::string body = pixels(4, 3, 2);
    expectBlock(4, 3, [&](int r, int c) {
        const int i = r * 4 + c;
        return (unsigned char)(i == 0 ? '\n' : body[i - 1]);
    });
}

TEST_F(ParamFile, AnotherImageMagicStillLoadsOneBytePerCell) {
    std::string file = validFile(4, 3);
    file.replace(file.find("P5"), 2, "P6");
    writeBytes(dir / "p6.frc", file);
    ASSERT_EQ(load(dir / "p6.frc"), 1) << fileError;
    expectBlock(4, 3, [](int r, int c) { return patternByte(r, c, 2); });
}

TEST_F(ParamFile, MaximumGreyValueIsNotChecked) {
    std::string file = validFile(4, 3);
    file.replace(file.rfind("255\n"), 4, "15\n");
    writeBytes(dir / "max15.frc", file);
    ASSERT_EQ(load(dir / "max15.frc"), 1) << fileError;
    expectBlock(4, 3, [](int r, int c) { return patternByte(r, c, 2); });
}

TEST_F(ParamFile, SmallerImageFillsOnlyItsBlock) {
    writeBytes(dir / "small.frc", validFile(400, 300));
    ASSERT_EQ(load(dir / "small.frc"), 1) << fileError;
    EXPECT_EQ(fracWidth, 400);
    EXPECT_EQ(fracHeight, 300);
    for (int r = 0; r < GRID_SIZE; ++r)
        for (int c = 0; c < GRID_SIZE; ++c) {
            const bool inside = r < 300 && c < 400;
            ASSERT_EQ(fractal[r * GRID_SIZE + c], inside ? patternByte(r, c, 2) : patternByte(r, c, 1))
                << r << ", " << c;
        }
}

TEST_F(ParamFile, UnknownTypeNameKeepsTheTypeAndShowsTheName) {
    writeBytes(dir / "lower.frc", header(2, 2, "mandelbrot") + pixels(2, 2, 0));
    ASSERT_EQ(load(dir / "lower.frc"), 1) << fileError;
    EXPECT_EQ(fType, 3);
    EXPECT_STREQ(fracType, "mandelbrot");
    EXPECT_EQ(detail, 200);
}

TEST_F(ParamFile, FieldsAtTheirLimitsAreAccepted) {
    const std::string longName(79, 'n');
    std::string file = header(2, 2, longName) + pixels(2, 2, 0) + "trailing bytes are ignored";
    file.replace(file.find("P5"), 2, std::string(14, 'P'));
    file.replace(file.find("\n200\n"), 5, "\n" + std::string(255, ' ') + std::to_string((int)MAX_DETAIL) + "\n");
    writeBytes(dir / "limits.frc", file);
    ASSERT_EQ(load(dir / "limits.frc"), 1) << fileError;
    EXPECT_EQ(fracType, longName);
    EXPECT_EQ(detail, (int)MAX_DETAIL);

    file = header(2, 2) + pixels(2, 2, 0);
    file.replace(file.find("\n200\n"), 5, "\n" + std::string(NUMBER_TOKEN_SIZE - 2, '0') + "1\n");
    file.replace(file.find("-1.5"), 4, "-15e-1");
    file.replace(file.find("0.25"), 4, "0x1p-2");
    writeBytes(dir / "forms.frc", file);
    ASSERT_EQ(load(dir / "forms.frc"), 1) << fileError;
    EXPECT_EQ(detail, 1);
    EXPECT_EQ(xStart, -1.5);
    EXPECT_EQ(xPivot, 0.25);
}

// ---- what a load refuses: nothing at all changes ---------------------------

struct BadFile {
    const char *why;
    std::string bytes;
};

std::string replaced(std::string file, const std::string &from, const std::string &to) {
    return file.replace(file.find(from), from.size(), to);
}

std::vector<BadFile> badFiles() {
    const std::string good = validFile(4, 3);
    return {
        {"empty", ""},
        {"wrong magic", replaced(good, "QUORVEX", "PARAMS")},
        {"magic in lower case", replaced(good, "QUORVEX", "quorvex")},
        {"magic with a tail", replaced(good, "QUORVEX", "QUORVEXX")},
        {"magic with a NUL", replaced(good, "QUORVEX", std::string("QUORVEX\0X", 9))},
        {"blanks before the magic", std::string(257, '\n') + good},
        {"blanks before a field", replaced(good, "\nJulia", std::string(257, ' ') + "Julia")},
        {"a number of 512 digits", replaced(good, "\n200\n", "\n" + std::string(509, '0') + "200\n")},
        {"type name of 80 bytes", replaced(good, "Julia", std::string(80, 'j'))},
        {"type name with a NUL", replaced(good, "Julia", std::string("Jul\0ia", 6))},
        {"image magic of 15 bytes", replaced(good, "P5", std::string(15, 'P'))},
        {"detail not a number", replaced(good, "\n200\n", "\nmany\n")},
        {"detail with a fraction", replaced(good, "\n200\n", "\n5.5\n")},
        {"detail with letters", replaced(good, "\n200\n", "\n50abc\n")},
        {"detail zero", replaced(good, "\n200\n", "\n0\n")},
        {"detail negative", replaced(good, "\n200\n", "\n-50\n")},
        {"detail overflows the grid value", replaced(good, "\n200\n", "\n8421505\n")},
        {"detail overflows int", replaced(good, "\n200\n", "\n99999999999\n")},
        {"double not a number", replaced(good, "-1.5", "left")},
        {"double with a tail", replaced(good, "0.25", "0.25x")},
        {"width zero", replaced(good, "4 3", "0 3")},
        {"width 801", replaced(good, "4 3", "801 3")},
        {"width negative", replaced(good, "4 3", "-4 3")},
        {"width not a number", replaced(good, "4 3", "four 3")},
        {"height 801", replaced(good, "4 3", "4 801")},
        {"height missing", replaced(good, "4 3\n255\n", "4\n")},
        {"maximum not a number", replaced(good, "\n255\n", "\nfull\n")},
        {"one pixel short", good.substr(0, good.size() - 1)},
        {"no pixels", header(4, 3)},
    };
}

TEST_F(ParamFile, EveryRefusedFileLeavesEveryValueAndEveryCellUnchanged) {
    for (const BadFile &bad : badFiles()) {
        writeBytes(dir / "bad.frc", bad.bytes);
        const Snapshot before = Snapshot::take();
        fileError[0] = '\0';
        EXPECT_EQ(load(dir / "bad.frc"), 0) << bad.why;
        EXPECT_TRUE(Snapshot::take() == before) << bad.why;
        EXPECT_NE(fileError[0], '\0') << bad.why;
    }
}

TEST_F(ParamFile, EveryTruncationOfAFileIsRefused) {
    const std::string good = validFile(4, 3);
    writeBytes(dir / "good.frc", good);
    const Snapshot before = Snapshot::take();
    for (size_t length = 0; length < good.size(); ++length) {
        writeBytes(dir / "cut.frc", good.substr(0, length));
        ASSERT_EQ(load(dir / "cut.frc"), 0) << "cut at " << length;
        ASSERT_TRUE(Snapshot::take() == before) << "cut at " << length;
    }
    EXPECT_EQ(load(dir / "good.frc"), 1) << fileError;
}

TEST_F(ParamFile, MissingFileDirectoryAndNoNameAreRefused) {
    const Snapshot before = Snapshot::take();
    EXPECT_EQ(load(dir / "absent.frc"), 0);
    EXPECT_NE(strstr(fileError, "cannot open"), nullptr) << fileError;
    EXPECT_EQ(load(dir.path), 0);
    EXPECT_EQ(load(""), 0);
    EXPECT_EQ(LOAD_FRACTAL(nullptr), 0);
    EXPECT_EQ(load("/dev/zero"), 0);  // endless: refused after its first bytes
    EXPECT_TRUE(Snapshot::take() == before);
}

// ---- a failed save keeps the earlier file ------------------------------------

// Saves the current state in a child; 10 when it reported failure with a
// reason, 11 when it claimed success, 12 when it failed without a reason.
int childSaveResult(const std::string &path, const std::function<void()> &restrict) {
    return inChild([&] {
        restrict();
        fileError[0] = '\0';
        const int saved = save(path);
        return saved ? 11 : fileError[0] ? 10 : 12;
    });
}

TEST_F(ParamFile, SaveIntoADirectoryThatCannotBeWrittenKeepsTheEarlierFile) {
    ASSERT_EQ(chmod(dir.path.c_str(), 0755), 0);
    writeBytes(dir / "work.frc", "earlier content");
    const int result = childSaveResult(dir / "work.frc", [] {
        // Root ignores permissions: become an ordinary user first.
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(20);
    });
    EXPECT_EQ(result, 10);
    EXPECT_EQ(readBytes(dir / "work.frc"), "earlier content");
    EXPECT_EQ(entriesOf(dir.path), std::vector<std::string>{"work.frc"});
}

TEST_F(ParamFile, SaveOntoAFullDiskKeepsTheEarlierFile) {
    writeBytes(dir / "work.frc", "earlier content");
    const int result = childSaveResult(dir / "work.frc", [] {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {100000, 100000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(20);
    });
    EXPECT_EQ(result, 10);
    EXPECT_EQ(readBytes(dir / "work.frc"), "earlier content");
    EXPECT_EQ(entriesOf(dir.path), std::vector<std::string>{"work.frc"});
}

TEST_F(ParamFile, SaveIntoAMissingDirectoryOrOverADirectoryFails) {
    EXPECT_EQ(save(dir / "absent/work.frc"), 0);
    EXPECT_NE(fileError[0], '\0');
    ASSERT_EQ(mkdir((dir / "folder.frc").c_str(), 0755), 0);
    EXPECT_EQ(save(dir / "folder.frc"), 0);
    struct stat st;
    ASSERT_EQ(stat((dir / "folder.frc").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(entriesOf(dir.path), std::vector<std::string>{"folder.frc"});
}

}  // namespace
