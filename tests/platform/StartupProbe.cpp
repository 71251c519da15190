// A program whose InitInstance declines: it must end at once, and with the
// exit code of ExitInstance. A loop would hang it until the test's timeout.
#include "platform/gui/WinApp.h"

#include <cstdio>

namespace {

class DecliningApp : public CWinApp {
public:
    bool InitInstance() override
    {
        m_initialised = true;
        return false;
    }
    int ExitInstance() override { return m_initialised ? 0 : 3; }

private:
    bool m_initialised = false;
};

DecliningApp theApp;

}  // namespace

int main(int argc, char** argv)
{
    const int code = RunApplication(argc, argv);
    if (code != 0)
        std::fprintf(stderr, "InitInstance did not run before the exit: %d\n", code);
    return code;
}
