#pragma once
// A small script of user actions, for driving the real program from outside (tests that kill
// it with edits pending). The environment variable VELTRANA_EDIT_SCRIPT names a UTF-8 file, one
// command per line, run once the event loop starts:
//   login USER PASSWORD      fills the login dialog and clicks "Login"
//   open DOCUMENT PROJECT    opens the project (the rest of the line) and selects the document
//   type TEXT                types the rest of the line at the end of the document editor's
//                            text, key by key
//   wait MS                  lets the program run for MS milliseconds
//   touch PATH               creates the file PATH (tells the driver a point was reached)
//   hang                     stops the program's work for good (it is then killed)
// Without the variable nothing happens.

namespace vt::app {

void scheduleEditScript();

}  // namespace vt::app
