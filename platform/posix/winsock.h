// Emulation of the Windows Sockets 1.1 subset (declarations).
#pragma once
