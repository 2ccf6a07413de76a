// The simulated registry (filled in with the registry service).
#pragma once

struct SimRegistry {};
