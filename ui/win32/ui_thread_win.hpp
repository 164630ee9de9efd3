// The user-interface thread on Win32: a hidden top-level window of that
// thread receives the calls handed over from workers (and the end of the
// session, which a message-only window would not get).
#pragma once

namespace kv::ui::win {

// Makes the hidden window on the calling thread, which becomes the
// user-interface thread; StopUiThread destroys it.
void StartUiThread();
void StopUiThread();

// The end of the session (application_win.cpp).
void OnEndSession();

}  // namespace kv::ui::win
