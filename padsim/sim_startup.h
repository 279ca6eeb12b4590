// Starting the simulated library. Nothing starts under the loader lock: the threads and the
// log file wait for the first entry call, and the scenario for the first TpConnect.
#pragma once

// Reads the environment, opens the log and starts the writer, delivery and pipe threads,
// once. Cheap after the first call.
void EnsureStarted();

// Reads and plays the scenario file named by QUIBSIM_SCENARIO, once; without one the pad
// is quiet. Its leading state commands (a refusal, say) apply before the first TpConnect
// answers.
void LoadScenarioOnce();
