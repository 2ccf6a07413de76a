// Simulated programs present with their behaviour, started processes, threads.
// Filled in with the service that needs it.
#pragma once

struct SimProcesses {};
