// Simulated special folders, shell links, opened web addresses.
// Filled in with the service that needs it.
#pragma once

struct SimShell {};
