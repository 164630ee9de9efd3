// Every change to a control happens on the user-interface thread; worker
// threads hand their changes over with these.
#pragma once

#include <functional>

namespace kv::ui {

// Queues `fn` to run on the user-interface thread and returns at once.
void RunOnUiThread(std::function<void()> fn);

// Runs `fn` on the user-interface thread and waits for it; runs it directly
// when called on that thread.
void RunOnUiThreadBlocking(std::function<void()> fn);

// Whether the caller is on the user-interface thread.
bool OnUiThread();

}  // namespace kv::ui
