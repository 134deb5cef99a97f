#pragma once
// Lets the events that are pending on the user-interface thread run once, then returns.
// Events posted while they run wait for the next turn of the event loop. Requires a
// QApplication (or QCoreApplication) on the calling thread.

namespace host {

void DoEvents();

}  // namespace host
