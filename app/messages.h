// The tool's own texts for its users. Written in UTF-8 here; the Windows build
// compiles them to code page 1250.
#pragma once

namespace vrk::messages {

inline constexpr const char* kWarningCaption = "Upozornění";
inline constexpr const char* kNoParameters =
    "VRK nelze spustit bez parametrů. Jejich seznam zobrazíte napsáním vrk help";
inline constexpr const char* kEmptyFirstParameter =
    "Program VRK prosím spouštějte s minimálně jedním parametrem, kterým by měla být přesná "
    "internetová adresa (URL) požadovaného textového souboru.";

inline constexpr const char* kVersionCaption = "Informace o verzi";
inline constexpr const char* kVersion = "Verze: 1.1\nBuild: 0000\n5. 1. 2005";

inline constexpr const char* kHelpCaption = "Nápověda";
inline constexpr const char* kHelp =
    "Seznam parametrů:\n"
    "ver      Zobrazí informaci o verzi\n"
    "help     Zobrazí toto okno\n"
    "nast     Nastavení (zatím jen proxy)\n"
    "proxy   Automatická detekce proxy\n"
    "\n"
    "Ukázky použití:\n"
    "vrk www.example.com/soubor.txt W vysledek.txt\n"
    "Více viz dokument Data/vrk.html";

}  // namespace vrk::messages

namespace vrk::messages {

inline constexpr const char* kProxyCaption = "Nápověda";
inline constexpr const char* kProxyOff = "Nastavení proběhlo úspěšně\nProxy server není používán";
inline constexpr const char* kProxyOnPrefix =
    "Nastavení proběhlo úspěšně\nProxy server je nastaven:\nIP: ";
inline constexpr const char* kProxyOnPort = "\nPort: ";
inline constexpr const char* kProxyWithoutAddress = "Proxy server je zapnut, ale adresa není zadána";

inline constexpr const char* kDownloadErrorCaption = "Chyba připojení";

// Every text above, for the checks that the user guide shows each of them.
inline constexpr const char* kAll[] = {
    kWarningCaption, kNoParameters, kEmptyFirstParameter, kVersionCaption, kVersion,
    kHelpCaption,    kHelp,         kProxyCaption,        kProxyOff,       kProxyOnPrefix,
    kProxyOnPort,    kProxyWithoutAddress, kDownloadErrorCaption,
};

}  // namespace vrk::messages
