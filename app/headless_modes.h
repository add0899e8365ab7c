#pragma once
// The headless test modes besides the self test. Each returns the process exit status
// and needs neither a window nor a GPU.

// "--nettest": the loop-back multiplayer test.
int runNetTest();

// "--modtest": the mod-system test.
int runModTest();
