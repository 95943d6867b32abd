// palette.h - the nine colour ramps and the three channel tables.
//
// palette holds nine ramps of 255 entries (ramp k at 255 * k). Each channel
// selector (paletteR/G/B, 0..8) picks one ramp; DISPLAY_PALLETE_APPLY copies
// the selected ramps into PaletteR/G/B, whose entry 255 is always 255, so a
// cell that never escaped is white under every selection. The same tables
// colour the screen and the exported image.
//
// Who may write: DISPLAY_PALLETE_CREATE fills palette once at start-up
// (right after srand(PALETTE_SEED); nothing else in the explorer may call
// rand). The selectors are
// advanced by the Red, Green and Blue buttons and zeroed by Reset; only
// DISPLAY_PALLETE_APPLY writes the channel tables.
//
// Layer: colour, GL-free (files/ and render/ use it).
#ifndef QUORVEX_COLOUR_PALETTE_H
#define QUORVEX_COLOUR_PALETTE_H

enum { RAMPS = 9, RAMP_LENGTH = 255 };

extern unsigned char palette[RAMPS * RAMP_LENGTH];
extern int paletteR, paletteG, paletteB;
extern unsigned char PaletteR[256], PaletteG[256], PaletteB[256];

// Fills the nine ramps; ramp 8 takes 255 numbers from rand().
void DISPLAY_PALLETE_CREATE();

// Copies the selected ramps into the channel tables; entry 255 is 255.
void DISPLAY_PALLETE_APPLY();

// The next ramp after `selector`, 8 wrapping to 0 (the Red/Green/Blue buttons).
int nextRamp(int selector);

// The three channel tables as one plain value. The colouring functions
// below take their tables this way, so that nothing beneath the explorer's
// own screen and Export depends on the program-wide tables: those two pass
// programChannelTables(), quorvex-render passes startupChannelTables().
struct ChannelTables {
    unsigned char r[256], g[256], b[256];
};

// PaletteR/G/B as they are now.
ChannelTables programChannelTables();

// The tables the program has right after start-up (the ramps built after
// srand(PALETTE_SEED)) with the selectors red, green, blue (0..8). Leaves
// the program-wide ramps and tables alone; reseeds rand().
enum { PALETTE_SEED = 1959 };
ChannelTables startupChannelTables(int red, int green, int blue);

// The one place a grid value becomes a colour: `width` cells of a grid row
// as red, green, blue bytes (3 * width bytes at rgb).
void colourGridRow(const ChannelTables &tables, const unsigned char *cells, int width, unsigned char *rgb);

// The one place a continuous value becomes a colour: `value` on the scale
// of grid values (255 * mu / detail for a smooth count mu), clamped to
// 0..254, takes the colour between the two whole entries either side,
// 1/256 of the way at a time (finer than 8 bits can show), rounded.
// Entry 255, the cells that never escaped, is for the caller to choose.
inline void colourContinuousValue(const ChannelTables &t, double value, unsigned char *rgb) {
    value = value > 0.0 ? value : 0.0;
    value = value < 254.0 ? value : 254.0;
    const int lo = (int)value;
    // At lo = 254 the value is 254 exactly, so the weight is 0 and entry
    // 255 adds nothing.
    const int weight = (int)((value - (double)lo) * 256.0 + 0.5);
    const unsigned char *tables[3] = {t.r, t.g, t.b};
    for (int c = 0; c < 3; ++c) {
        const int a = tables[c][lo];
        rgb[c] = (unsigned char)((a * 256 + (tables[c][lo + 1] - a) * weight + 128) >> 8);
    }
}

#endif
