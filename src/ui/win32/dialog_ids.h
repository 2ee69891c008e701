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

#endif
