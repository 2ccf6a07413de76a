// Simulated top-level windows, the message queue, timers, message boxes, drawing.
// Filled in with the service that needs it.
#pragma once

struct SimWindows {};
