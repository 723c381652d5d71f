// System message texts for the codes this emulation produces, worded as an English or a Czech
// Windows words them, after the user's locale. Codes without an entry have no text, as the URL
// moniker codes have none on Windows either.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix/kernel/system_text_detail.h"
#include "platform/posix/win32.h"

namespace {

struct MessageText {
  DWORD code;
  std::string_view english;
  std::string_view czech;
};

constexpr MessageText kHresultTexts[] = {
    {0x80004001u,
     "Not implemented\r\n",
     "Neimplementováno\r\n"},
    {0x80004002u,
     "No such interface supported\r\n",
     "Rozhraní není podporováno\r\n"},
    {0x80004003u,
     "Invalid pointer\r\n",
     "Neplatný ukazatel\r\n"},
    {0x80004004u,
     "Operation aborted\r\n",
     "Operace byla přerušena\r\n"},
    {0x80004005u,
     "Unspecified error\r\n",
     "Nespecifikovaná chyba\r\n"},
    {0x8000FFFFu,
     "Catastrophic failure\r\n",
     "Katastrofická chyba\r\n"},
};

constexpr MessageText kWin32Texts[] = {
    {0,
     "The operation completed successfully.\r\n",
     "Operace byla úspěšně dokončena.\r\n"},
    {1,
     "Incorrect function.\r\n",
     "Nesprávná funkce.\r\n"},
    {2,
     "The system cannot find the file specified.\r\n",
     "Systém nemůže nalézt uvedený soubor.\r\n"},
    {3,
     "The system cannot find the path specified.\r\n",
     "Systém nemůže nalézt uvedenou cestu.\r\n"},
    {4,
     "The system cannot open the file.\r\n",
     "Systém nemůže otevřít soubor.\r\n"},
    {5,
     "Access is denied.\r\n",
     "Přístup byl odepřen.\r\n"},
    {6,
     "The handle is invalid.\r\n",
     "Neplatný popisovač.\r\n"},
    {8,
     "Not enough memory resources are available to process this command.\r\n",
     "Pro zpracování tohoto příkazu není k dispozici dostatek paměti.\r\n"},
    {14,
     "Not enough memory resources are available to complete this operation.\r\n",
     "Pro dokončení této operace není k dispozici dostatek paměti.\r\n"},
    {17,
     "The system cannot move the file to a different disk drive.\r\n",
     "Systém nemůže přesunout soubor na jinou diskovou jednotku.\r\n"},
    {19,
     "The media is write protected.\r\n",
     "Médium je chráněno proti zápisu.\r\n"},
    {21,
     "The device is not ready.\r\n",
     "Zařízení není připraveno.\r\n"},
    {23,
     "Data error (cyclic redundancy check).\r\n",
     "Chyba dat (kontrola cyklickým kódem).\r\n"},
    {31,
     "A device attached to the system is not functioning.\r\n",
     "Zařízení připojené k systému nepracuje.\r\n"},
    {32,
     "The process cannot access the file because it is being used by another process.\r\n",
     "Proces nemá přístup k souboru, neboť jej právě využívá jiný proces.\r\n"},
    {33,
     "The process cannot access the file because another process has locked a portion of " "the file.\r\n",
     "Proces nemá přístup k souboru, neboť jiný proces uzamkl jeho část.\r\n"},
    {50,
     "The request is not supported.\r\n",
     "Požadavek není podporován.\r\n"},
    {55,
     "The specified network resource or device is no longer available.\r\n",
     "Zadaný síťový prostředek nebo zařízení již není k dispozici.\r\n"},
    {59,
     "An unexpected network error occurred.\r\n",
     "Došlo k neočekávané chybě sítě.\r\n"},
    {64,
     "The specified network name is no longer available.\r\n",
     "Zadaný název sítě již není k dispozici.\r\n"},
    {80,
     "The file exists.\r\n",
     "Soubor existuje.\r\n"},
    {87,
     "The parameter is incorrect.\r\n",
     "Parametr není správný.\r\n"},
    {112,
     "There is not enough space on the disk.\r\n",
     "Na disku není dostatek místa.\r\n"},
    {121,
     "The semaphore timeout period has expired.\r\n",
     "Vypršel časový limit semaforu.\r\n"},
    {122,
     "The data area passed to a system call is too small.\r\n",
     "Oblast dat předaná systémovému volání je příliš malá.\r\n"},
    {123,
     "The filename, directory name, or volume label syntax is incorrect.\r\n",
     "Syntaxe názvu souboru, adresáře nebo jmenovky svazku je nesprávná.\r\n"},
    {132,
     "The file pointer cannot be set on the specified device or file.\r\n",
     "Ukazatel souboru nelze nastavit na zadané zařízení nebo soubor.\r\n"},
    {126,
     "The specified module could not be found.\r\n",
     "Zadaný modul nebyl nalezen.\r\n"},
    {145,
     "The directory is not empty.\r\n",
     "Adresář není prázdný.\r\n"},
    {183,
     "Cannot create a file when that file already exists.\r\n",
     "Nelze vytvořit soubor, který již existuje.\r\n"},
    {206,
     "The filename or extension is too long.\r\n",
     "Název souboru nebo přípona je příliš dlouhá.\r\n"},
    {223,
     "The file size exceeds the limit allowed and cannot be saved.\r\n",
     "Velikost souboru překračuje povolený limit a soubor nelze uložit.\r\n"},
    {232,
     "The pipe is being closed.\r\n",
     "Probíhá uzavření kanálu.\r\n"},
    {234,
     "More data is available.\r\n",
     "Je k dispozici více dat.\r\n"},
    {995,
     "The I/O operation has been aborted because of either a thread exit or an application " "request.\r\n",
     "Vstupně-výstupní operace byla přerušena z důvodu ukončení vlákna nebo na žádost aplikace.\r\n"},
    {998,
     "Invalid access to memory location.\r\n",
     "Neplatný přístup do paměťového místa.\r\n"},
    {1117,
     "The request could not be performed because of an I/O device error.\r\n",
     "Požadavek nelze provést z důvodu chyby vstupně-výstupního zařízení.\r\n"},
    {1142,
     "An attempt was made to create more links on a file than the file system supports.\r\n",
     "Došlo k pokusu o vytvoření více odkazů na soubor, než systém souborů podporuje.\r\n"},
    {1155,
     "No application is associated with the specified file for this operation.\r\n",
     "K zadanému souboru není pro tuto operaci přidružena žádná aplikace.\r\n"},
    {1392,
     "The file or directory is corrupted and unreadable.\r\n",
     "Soubor nebo adresář je poškozen a nelze jej číst.\r\n"},
    {1400,
     "Invalid window handle.\r\n",
     "Neplatný popisovač okna.\r\n"},
    {1410,
     "Class already exists.\r\n",
     "Třída již existuje.\r\n"},
    {1411,
     "Class does not exist.\r\n",
     "Třída neexistuje.\r\n"},
    {1450,
     "Insufficient system resources exist to complete the requested service.\r\n",
     "Pro dokončení požadované služby nejsou k dispozici dostatečné systémové prostředky.\r\n"},
    {1921,
     "The name of the file cannot be resolved by the system.\r\n",
     "Systém nemůže rozpoznat název souboru.\r\n"},
    {10035,
     "A non-blocking socket operation could not be completed immediately.\r\n",
     "Operaci na neblokujícím soketu nelze okamžitě dokončit.\r\n"},
    {10054,
     "An existing connection was forcibly closed by the remote host.\r\n",
     "Vzdálený hostitel vynuceně ukončil existující připojení.\r\n"},
    {10057,
     "A request to send or receive data was disallowed because the socket is not connected " "and (when sending on a datagram socket using a sendto call) no address was supplied.\r\n",
     "Požadavek na odeslání nebo přijetí dat byl zakázán, protože soket není připojen a (při odesílání na soket datagramu pomocí volání sendto) nebyla zadána adresa.\r\n"},
    {10060,
     "A connection attempt failed because the connected party did not properly respond after " "a period of time, or established connection failed because connected host has failed " "to respond.\r\n",
     "Pokus o připojení selhal, protože připojená strana v určeném čase řádně neodpověděla, nebo navázané připojení selhalo, protože připojený hostitel neodpověděl.\r\n"},
    {10061,
     "No connection could be made because the target machine actively refused it.\r\n",
     "Nelze navázat připojení, protože cílový počítač je aktivně odmítl.\r\n"},
    {10065,
     "A socket operation was attempted to an unreachable host.\r\n",
     "Došlo k pokusu o operaci soketu s nedostupným hostitelem.\r\n"},
    {11001,
     "No such host is known.\r\n",
     "Takový hostitel není znám.\r\n"},
};

constexpr DWORD kWin32Facility = 0x80070000u;
constexpr DWORD kMaxWidthMask = 0xFF;
constexpr DWORD kErrorResourceLangNotFound = 1815;
constexpr DWORD kLangEnglish = 0x09;
constexpr DWORD kLangCzech = 0x05;

template <std::size_t N>
const MessageText* Lookup(const MessageText (&table)[N], DWORD code) {
  for (const MessageText& entry : table) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

// A Win32 code wrapped in an HRESULT has the Win32 code's text.
const MessageText* SystemText(DWORD code) {
  if ((code & 0xFFFF0000u) == kWin32Facility) return Lookup(kWin32Texts, code & 0xFFFFu);
  if (const MessageText* text = Lookup(kHresultTexts, code)) return text;
  return Lookup(kWin32Texts, code);
}

// The user's language, as the locale variables name it, in their order of precedence: Czech
// for cs_*, as a Czech Windows words its texts, English for any other.
DWORD UserLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      return std::strncmp(value, "cs", 2) == 0 && (value[2] == '\0' || value[2] == '_' || value[2] == '.')
                 ? kLangCzech
                 : kLangEnglish;
    }
  }
  return kLangEnglish;
}

DWORD Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

struct Detail {
  DWORD code = 0;
  std::string text;  // empty: none
};
Detail& CurrentDetail() {
  static Detail detail;
  return detail;
}

}  // namespace

namespace vrk_posix {

void SetSystemTextDetail(DWORD code, std::string text) {
  Detail& detail = CurrentDetail();
  detail.code = code;
  detail.text = std::move(text);
}

}  // namespace vrk_posix

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, void*) {
  // Only the system table exists here, and a buffer the caller owns: there is no
  // allocator to hand an allocated one back to.
  if ((flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER)) != 0) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0) return Fail(ERROR_MR_MID_NOT_FOUND);
  DWORD language = languageId & 0x3FF;
  if (language == 0) language = UserLanguage();
  if (language != kLangEnglish && language != kLangCzech) return Fail(kErrorResourceLangNotFound);

  const Detail& detail = CurrentDetail();
  const bool detailed = detail.code == messageId && !detail.text.empty();
  const MessageText* found = SystemText(messageId);
  if (!detailed && found == nullptr) return Fail(ERROR_MR_MID_NOT_FOUND);
  std::string text = detailed                       ? detail.text + "\r\n"
                     : language == kLangCzech ? std::string(found->czech)
                                                    : std::string(found->english);
  // The widest setting turns the line breaks of the text into blanks, its final one included.
  if ((flags & kMaxWidthMask) == kMaxWidthMask) text.replace(text.size() - 2, 2, " ");

  // Too small leaves the caller's buffer as it was, as Windows does.
  if (size <= text.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<DWORD>(text.size());
}
