#include "padsim/pipe_name.h"

#include "padsim/log_file.h"

std::wstring FullPipeName(const std::wstring& name)
{
    if (name.compare(0, 2, L"\\\\") == 0) {
        return name;
    }
    return L"\\\\.\\pipe\\" + name;
}

std::wstring PipeNameFromEnvironment()
{
    const std::wstring name = EnvironmentValue(L"QUIBSIM_PIPE");
    return FullPipeName(name.empty() ? SIM_DEFAULT_PIPE_NAME : name);
}
