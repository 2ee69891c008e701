/* Identifiers shared by the resource script and the Win32 dialog code.
   Plain macros: the resource compiler reads this file too. */
#ifndef LUMENFALL_UI_WIN32_DIALOG_IDS_H
#define LUMENFALL_UI_WIN32_DIALOG_IDS_H

/* Bitmaps of the about box. */
#define LF_BITMAP_ABOUT_BANNER 127
#define LF_BITMAP_ABOUT_TITLE 136
#define LF_BITMAP_ABOUT_LOGO 131

/* About box: the button that opens the maker's web page and closes the box with its id. */
#define LF_ABOUT_VISIT_BUTTON 5
#define LF_ABOUT_VERSION_TEXT 101

/* Refusal dialogs: the static that holds the message. */
#define LF_REFUSAL_TEXT 100

/* Main dialog artwork. */
#define LF_BITMAP_DIALOG_BACKGROUND 200
#define LF_BITMAP_TRACK_FIRST 201
#define LF_BITMAP_TRACK_SECOND 202
#define LF_BITMAP_KNOB 203
#define LF_BITMAP_WELL_ENABLED 204
#define LF_BITMAP_WELL_DISABLED 205
#define LF_BITMAP_INFORMATION 206
#define LF_BITMAP_MEMORY_DOTS 207
#define LF_BITMAP_CENTRE_FRAME 208

/* Icons of the icon buttons, the sun types and the logo. */
#define LF_ICON_NEXT_GLUE 300
#define LF_ICON_ZOOM_OUT 301
#define LF_ICON_ZOOM_IN 302
#define LF_ICON_INFORMATION 303
#define LF_ICON_PRESETS_PAGE 304
#define LF_ICON_DICE 305
#define LF_ICON_UNDO 306
#define LF_ICON_RESET 307
#define LF_ICON_ECCE 308
#define LF_ICON_LOAD 309
#define LF_ICON_SAVE 310
#define LF_ICON_PSD 311
#define LF_ICON_SUN_NORMAL 312
#define LF_ICON_SUN_FLAT 313
#define LF_ICON_SUN_ECLIPSE 314
#define LF_ICON_LOGO 315

// The closed-hand cursor of a pan drag in the preview.
#define LF_CURSOR_CLOSED_HAND 320

/* The preview panel of the open dialog: its picture area. */
#define LF_OPEN_PREVIEW_PICTURE 400

/* The PSD export's progress dialog: its upper and lower texts. */
#define LF_PROGRESS_STATUS 410
#define LF_PROGRESS_PERCENT 411

/* A test-only private message: wParam a control id, lParam a pointer to a
   ControlState (ui/win32/main_dialog_win.h) that receives the control's state
   (value, enabled flag, vector, colour). Returns 1 when it was filled. */
#define LF_MESSAGE_CONTROL_STATE (0x8000 + 0x41)

#endif
