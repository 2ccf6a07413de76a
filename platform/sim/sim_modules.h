// Simulated DLLs present, loaded modules and their exports.
// Filled in with the service that needs it.
#pragma once

struct SimModules {};
