// The control pipe that padctl and tests use to drive the simulated pad while a program
// runs: its name and the size of one message.
#pragma once

#include <cstddef>
#include <string>

constexpr wchar_t SIM_DEFAULT_PIPE_NAME[] = L"QuibPadSim";
constexpr size_t SIM_PIPE_MAX_MESSAGE = size_t{64} * 1024;  // bytes of one script or one reply

// A bare name is placed under \\.\pipe\; a name that starts with two backslashes is kept.
std::wstring FullPipeName(const std::wstring& name);

// QUIBSIM_PIPE, else QuibPadSim, as a full pipe name.
std::wstring PipeNameFromEnvironment();
