#include "app/entry.h"
#include "platform/winapi.h"

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return vrk::RunVrk(); }
#else
int main() { return vrk::RunVrk(); }
#endif
