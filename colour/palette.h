// palette.h - the nine colour ramps and the three channel tables.
//
// palette holds nine ramps of 255 entries (ramp k at 255 * k). Each channel
// selector (paletteR/G/B, 0..8) picks one ramp; DISPLAY_PALLETE_APPLY copies
// the selected ramps into PaletteR/G/B, whose entry 255 is always 255, so a
// cell that never escaped is white under every selection. The same tables
// colour the screen and the exported image.
//
// Who may write: DISPLAY_PALLETE_CREATE fills palette once at start-up
// (right after srand(1959); nothing else may call rand). The selectors are
// advanced by the Red, Green and Blue buttons and zeroed by Reset; only
// DISPLAY_PALLETE_APPLY writes the channel tables.
//
// Layer: colour, GL-free (files/ and quorvex-render use it).
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

// The one place a grid value becomes a colour: `width` cells of a grid row
// as red, green, blue bytes through PaletteR/G/B as they are now (3 * width
// bytes at rgb). The screen, the Export and quorvex-render all use it.
void colourGridRow(const unsigned char *cells, int width, unsigned char *rgb);

#endif
