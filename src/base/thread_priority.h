// thread_priority — the scheduling priority (nice value) of the calling
// thread. Linux keeps one per thread, so a scan's threads can run at a lower
// priority than the window's main thread.
//
// Nothing here raises a priority (that needs privileges) or reports errors:
// an unknown value reads as 0 and a refused change is left as it is.
//
// Threads: any thread, about itself only.
#pragma once

// The calling thread's nice value; 0 when it cannot be read.
int thread_nice();

// Lowers the calling thread's priority to nice n; a thread already at n or
// lower keeps its own. Background work calls it first so that it never slows
// the desktop.
void lower_thread_priority(int n);
