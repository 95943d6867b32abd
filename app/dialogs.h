// dialogs.h - the Load list and the Save and Export name entries: what each
// command does to the dialog mode, and the typed name. What the panel
// shows, and where, is app/directory_panel.h.
//
// Layer: app (uses app/zoom.h, app/layout.h, app/directory_panel.h; files/
// reads and writes).
//
// scanFlag (app/app_state.h): SCAN_NONE, SCAN_LOAD_LIST, SCAN_SAVE_NAME,
// SCAN_EXPORT_NAME. fractals and scanStart: the index of the last name of
// the last scan and of the name on the list's first line; written only here.
//   Load (always): lock, Up/Down/Cancel shown, directory scanned, list drawn.
//   Save/Export (unlocked, image present): lock, name emptied, Accept and
//       Cancel shown, prompt "Enter filename:".
//   Up/Down: scroll the LIST_LINES-row window by one name while possible.
//   list pick: the name listIndexAt(Y, scanStart), when within 0..fractals,
//       is loaded; loaded or refused, the list closes, noFractal = 0,
//       unlock, scales from the view.
//   Accept: ".frc"/".ppm" appended and the file written; Cancel: nothing.
//   Both close whatever dialog is open and unlock the menu; a zoom or pivot
//   selection armed meanwhile stays armed. Load over a name entry ends it:
//   the scan refills the name rows and a later Accept writes nothing.
// The typed name (fileNames row 0) holds at most 75 characters: keys 32 and
// up are appended, backspace (8) removes one, other keys change nothing; the
// strip is cleared before each key and the name drawn again, only its last
// 20 characters when it is longer than the panel is wide. A failed
// save, export or load, and an Accept with no name, leave a short message
// in the "Directory" panel and one line on standard error; success is
// silent. The next dialog clears the message.
#ifndef QUORVEX_APP_DIALOGS_H
#define QUORVEX_APP_DIALOGS_H

enum { TYPED_NAME_MAX = 75 };

extern int fractals;
extern int scanStart;

void LOAD_COMMAND();
void SAVE_COMMAND();
void EXPORT_COMMAND();
void UP_COMMAND();
void DOWN_COMMAND();
void CANCEL_COMMAND();
void ACCEPT_COMMAND();
void FILE_LIST_PICK(int Y);

void myKeyboard(unsigned char key, int x, int y);

#endif
