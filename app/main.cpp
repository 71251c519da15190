#include "platform/gui/WinApp.h"

int main(int argc, char** argv)
{
    return RunApplication(argc, argv);
}
