// Drives the plug-in's dialog from a second thread of our host, for tests
// and demonstrations: clicks, typing, list picks, mouse presses and drags
// at dialog coordinates, the file dialogs, pictures from the X server and
// checks of what the dialog shows. Only windows of our own process are
// touched. Windows builds only; elsewhere loading a script fails.
//
// One command a line; '#' starts a comment; ${NAME} is replaced by the
// environment variable NAME. Coordinates are the main dialog's client pixels.
//   wait MS                      click ID            type ID TEXT
//   enter ID                     escape              pick ID INDEX (1-based)
//   press X Y [ctrl]             move X Y [ctrl]     release X Y
//   dot K [right|ctrl|hover]     a click on memory dot K (0..24), or the pointer over it
//   centre [right|ctrl]          a click on the centre dot
//   query ID                     rect ID             client
//   expect ID KEY=VALUE...       (value, enabled, text, vector=x,y,z, colour=r,g,b, timer, captured,
//                                kept; a memory dot's value is 0 empty, 1 filled, 2 current;
//                                the centre dot's value is the dot it shows or -1)
//   expect-rect ID LEFT TOP WIDTH HEIGHT
//   expect-client WIDTH HEIGHT   expect-caption TEXT
//   shot FILE.png                the dialog's client area from the X server screen
//   shot-panel FILE.png          the open dialog's thumbnail panel
//   expect-pixel X Y R G B       in the last picture
//   expect-differs X1 Y1 X2 Y2   two pixels of the last picture differ
//   expect-brightest X Y R LEFT TOP WIDTH HEIGHT
//                                the brightest pixels of that part of the last picture centre within R of X Y
//   mark                         elapsed      milliseconds since the mark, once the dialog has handled
//                                             everything sent before
//   file-name TEXT               the name field of the open file dialog
//   file-select INDEX            selects an entry of its file list (0-based)
//   file-ok                      answer-yes / answer-no (a message box)
//   ok                           cancel
//   progress MIN                 the PSD export's progress texts until its dialog closes: 0% .. 100%,
//                                never back, at least MIN of them
//   progress-cancel PERCENT      Escape in the progress dialog once it shows PERCENT
//   message-ok TEXT              a message box that contains TEXT, closed with OK
// Pictures need LF_XVFB_SCREEN: the screen file of an Xvfb started with -fbdir.
#ifndef LUMENFALL_APP_UI_SCRIPT_H
#define LUMENFALL_APP_UI_SCRIPT_H

#include <memory>
#include <string>
#include <vector>

namespace lumenfall {

class UiScript {
public:
    UiScript();
    ~UiScript();
    bool load(const std::string& path, std::string* error);
    // Starts the script's thread; it waits for the dialog to appear.
    void start();
    // Waits for the script to end. Returns 0 when every command and check
    // passed, 77 when a picture could not be taken (no X server screen),
    // 1 otherwise.
    int finish();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Splits a script line into words; the rest of the line after `keep`
// words stays one word (for texts with spaces). ${NAME} is expanded.
std::vector<std::string> scriptWords(const std::string& line, size_t keep);

}  // namespace lumenfall

#endif
