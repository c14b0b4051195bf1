// zelusb: the Bexo device interface.
//
// Units are addressed by the number an open call returned (0..24); -1 means
// none. Functions return 1 for success and 0 for failure unless noted; the
// reason of a failure is left in the unit's error words (ZELGetLastError):
// operation code in bits 24-31, transport reason in bits 0-15.
//
// Hosts: on Windows, "windows" are real HWNDs and notifications arrive as
// WM_DEVICECHANGE. Elsewhere a window is a ZEL_SINK: the library calls its
// function with the same message numbers and the same records (see below).
//
// Virtual units (built with ZELUSB_VIRTUAL_UNITS, the default): when the
// environment variable ZELUSB_VIRTUAL names unit folders (separated by ':' on
// POSIX, ';' on Windows), only those units are enumerated, instead of HID
// hardware. ZELUSB_FAST_CLOCK=1 shortens the fixed waits, and only while every
// open unit is virtual. Plugging and unplugging them by hand: zelusb_virtual.h.
//
// Flash directory and items: the layout on flash is described in
// zelusb/flash/FORMAT.md. Every operation reads the directory afresh.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#  include <windows.h>
#  if defined(ZELUSB_BUILD)
#    define ZELUSB_API __declspec(dllexport)
#  else
#    define ZELUSB_API __declspec(dllimport)
#  endif
#else
#  define ZELUSB_API __attribute__((visibility("default")))
#endif

// Message that carries a status record (lParam / the sink's `lParam`).
#define ZEL_STATUS_MESSAGE 1034

#if !defined(_WIN32)
// Where a Windows program would give a window handle. `post` is called on the
// library's thread (the caller's for status records, the library's watcher
// thread for device notifications); it must not block for long.
struct ZEL_SINK {
    void (*post)(void* context, unsigned int message, uintptr_t wParam, intptr_t lParam);
    void* context;
};
typedef ZEL_SINK* HWND;

// Device-change notifications through a sink mirror Windows: message
// WM_DEVICECHANGE, wParam DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE,
// lParam a DEV_BROADCAST_DEVICEINTERFACE_A valid during the call, whose
// dbcc_name (28 bytes into the record) holds the device path.
#  define WM_DEVICECHANGE 0x0219
#  define DBT_DEVICEARRIVAL 0x8000
#  define DBT_DEVICEREMOVECOMPLETE 0x8004
#  define DBT_DEVTYP_DEVICEINTERFACE 5
struct ZEL_GUID {
    uint32_t Data1;
    uint16_t Data2, Data3;
    uint8_t Data4[8];
};
struct DEV_BROADCAST_DEVICEINTERFACE_A {
    uint32_t dbcc_size;
    uint32_t dbcc_devicetype;
    uint32_t dbcc_reserved;
    ZEL_GUID dbcc_classguid;
    char dbcc_name[1];
};
#endif

#pragma pack(push, 1)
// Status record posted with message 1034; the receiver frees it with
// ZELFreeStatusBuffer.
struct _ZEL_STATUS_RECORD {
    int32_t unit;
    int32_t kind;
    int32_t range;
    int32_t position;
    int32_t reserved;
    uint32_t tag;
};

struct _ZEL_STATUS {
    unsigned char b[4]; // [1] bit 0: main processor powered; [2].[3]: USB firmware version
};

struct _ZEL_PINS {
    unsigned char pin[6];
};

// One directory entry: the exported record and, byte for byte, its form on
// flash (little-endian).
struct _direntry {
    unsigned int address; // sector << 16 | offset of the item's first byte
    unsigned char type;
    unsigned int id;
    unsigned short size;
};

// The id of the unit's item of each sound type, 0 when it has none.
struct _ZEL_SOUNDS {
    unsigned int sound20; // type 0x14
    unsigned int sound23; // type 0x17
    unsigned int sound22; // type 0x16
    unsigned int sound24; // type 0x18
    unsigned int sound25; // type 0x19
    unsigned int sound30; // type 0x1E
    unsigned int sound31; // type 0x1F
};
#pragma pack(pop)

static_assert(sizeof(_direntry) == 11, "a directory entry is 11 bytes");
static_assert(sizeof(_ZEL_SOUNDS) == 28, "seven 32-bit ids");

// Asked for an item's contents when a write cannot put it where it was
// planned: fill `buffer` (65536 bytes), set *size (65536 on entry, at most
// 65535 on return) and return nonzero; 0 abandons the write.
typedef unsigned char (*DisplacementCallback)(_direntry item, unsigned char* buffer, int* size);

// Status record kinds.
enum {
    ZEL_STATUS_FILE_WRITE = 0,
    ZEL_STATUS_FILE_READ = 1,
    ZEL_STATUS_ITEM_BEGIN = 2,
    ZEL_STATUS_ERASE_BEGIN = 3,
    ZEL_STATUS_ITEM_END = 4,
    ZEL_STATUS_CANCELLED = 6,
    ZEL_STATUS_FW_BOOTLOADER = 7,
    ZEL_STATUS_FW_ERASING = 8,
    ZEL_STATUS_FW_WRITING = 9,
    ZEL_STATUS_FW_VERIFYING = 10,
    ZEL_STATUS_FW_FINALIZING = 11,
    ZEL_STATUS_DISPLACED = 12,
};

struct _ZEL_ALERT_POINT {
    uint8_t enabled;
    uint8_t option;
    uint16_t rangeCode; // 1..4
    int32_t alertKind;  // 0, 1 or 3
};

struct _ZEL_LOCATION_ALERT_POINTS {
    _ZEL_ALERT_POINT point[7];
};

struct _ZEL_CONFIGURATION {
    int16_t family;
    uint32_t serialNumber;
    uint32_t auxiliary;
    uint8_t speedTrigger;
    uint8_t generalOption;
    _ZEL_ALERT_POINT point[7];
};

// --- Device table and transport --------------------------------------------
ZELUSB_API int ZELDLLInitialize();
ZELUSB_API int ZELOpenNextAvailableDevice();
ZELUSB_API int ZELOpenDevice(int index);
ZELUSB_API int ZELCloseDevice(int unit);
// Windows: an event HANDLE. Elsewhere an opaque event for ZELWaitReceiveEvent.
ZELUSB_API void* ZELGetReceiveEventHandle(int unit);
ZELUSB_API int ZELSetNotification(HWND recipient, char* name);
ZELUSB_API int ZELGetDeviceString(int unit, char* buffer, int* size);
ZELUSB_API int ZELRegisterStatusWindow(int unit, HWND window, unsigned int tag);
ZELUSB_API int ZELFreeStatusBuffer(void* record);
ZELUSB_API int ZELCancelIO(int unit);
#if !defined(_WIN32)
// Waits for the auto-reset receive event; 1 when it was signalled, 0 on time-out.
ZELUSB_API int ZELWaitReceiveEvent(void* event, long timeoutMs);
#endif

// --- Framing and transactions ------------------------------------------------
ZELUSB_API int ZELDoTransaction(int unit, unsigned char* request, unsigned int requestLength, unsigned char* response,
                                unsigned int responseLength, long timeoutMs);
ZELUSB_API int ZELDoUnframedTransaction(int unit, unsigned char* request, unsigned int requestLength,
                                        unsigned char* response, unsigned int responseLength, long timeoutMs,
                                        unsigned char singleReport);
ZELUSB_API unsigned char* ZELGetFirstAvailableResponse(int unit, int* length, int* queued);
ZELUSB_API int ZELGetLastError(int unit, unsigned long& code, unsigned long& detail);
ZELUSB_API int ZELSendETX(int unit);
ZELUSB_API int ZELReframe(int unit);

// --- Status, power and version -----------------------------------------------
ZELUSB_API int ZELStatus(int unit, _ZEL_STATUS* status);
ZELUSB_API int ZELPowerOn(int unit);
ZELUSB_API int ZELPowerOff(int unit);
ZELUSB_API int ZELGetVersion(int unit, unsigned char& major, unsigned char& minor, unsigned char& memoryCode);
ZELUSB_API int ZELGetVersionExtended(int unit, unsigned char& major, unsigned char& minor, unsigned char& memoryCode,
                                     unsigned short& sectorCount, unsigned int& sectorSize, unsigned char* sectorMap);
ZELUSB_API int ZELSetPins(int unit, _ZEL_PINS pins);
ZELUSB_API int ZELSetInterrupts(int unit, unsigned char enable);
ZELUSB_API int ZELUnframedGetCPUid(int unit, unsigned short* cpuId);
ZELUSB_API int ZELUnframedSetCounter(int unit, unsigned short value);
// cpuName must hold at least 12 bytes.
ZELUSB_API int ZELInitDevice(int unit, unsigned char* bootMode, unsigned short* usbVersion,
                             unsigned short* firmwareVersion, unsigned short* cpuId, unsigned char* memoryCode,
                             char* cpuName);

// --- EEPROM and configuration --------------------------------------------------
ZELUSB_API int ZELReadEE(int unit, unsigned char address, unsigned char* buffer, unsigned char count);
ZELUSB_API int ZELWriteEE(int unit, unsigned char address, unsigned char* data, unsigned char count);
ZELUSB_API int ZELGetEEFamily(int unit, unsigned short& family);
ZELUSB_API int ZELGetConfiguration(int unit, _ZEL_CONFIGURATION* configuration);
ZELUSB_API int ZELSetSpeedTrigger(int unit, unsigned char percent);
ZELUSB_API int ZELSetLocationAlertPoints(int unit, _ZEL_LOCATION_ALERT_POINTS points);
ZELUSB_API int ZELSetSerialNumber(int unit, unsigned int serialNumber);

// --- Raw memory and download mode ----------------------------------------------
ZELUSB_API int ZELReadMemory(int unit, unsigned int address, unsigned char* buffer, unsigned short& length);
ZELUSB_API int ZELWriteMemory(int unit, unsigned int address, unsigned char* data, unsigned short length);
ZELUSB_API int ZELEraseMemory(int unit, unsigned int address);
ZELUSB_API int ZELCopyMemory(int unit, unsigned int source, unsigned int destination, unsigned short count);
ZELUSB_API int ZELSetDownloadMode(int unit, unsigned char mode);
// Writes from fileName (when not null; length 0 = the whole file) or buffer.
ZELUSB_API int ZELWriteFile(int unit, unsigned long address, unsigned long& length, char* fileName,
                            unsigned char* buffer);
// Moves every item out of sector 0 (into the spare sector) and erases it.
ZELUSB_API int ZELClearSectorZero(int unit);

// --- Flash directory -----------------------------------------------------------
// 1 read, 0 no directory (directorySector = sectorCount, entries and count
// untouched), -1 failure. `entries` must hold 256 entries: a directory that
// lists more is refused (-1), never written past.
ZELUSB_API int ZELReadDirectory(int unit, int& directorySector, unsigned short& sectorCount, _direntry* entries,
                                int& count);
// sectorMap: null, or 256 bytes that receive the sector map.
ZELUSB_API int ZELReadDirectoryAndSectors(int unit, int& directorySector, unsigned short& sectorCount,
                                          _direntry* entries, int& count, unsigned char* sectorMap);
// Writes `count` (0..256) entries as the directory of the erased sector
// newSector, marks it valid, then retires oldSector (-1: none).
ZELUSB_API int ZELWriteDirectory(int unit, int newSector, int oldSector, _direntry* entries, int count);
ZELUSB_API int ZELPrintDirectory(_direntry* entries, int count);

// --- Directory items -----------------------------------------------------------
// *length nonzero: data is a buffer, which must hold the item's size (it is
// never written past it); *length 0: data names a host file.
ZELUSB_API int ZELReadDirectoryItemByType(int unit, unsigned char type, char* data, unsigned int* length);
ZELUSB_API int ZELReadDirectoryItemByID(int unit, unsigned int id, char* data, unsigned int* length);
// Up to the erased tail (five 0xFF in a row); *length ends as the full size,
// a buffer is padded with 0xFF up to it.
ZELUSB_API int ZELReadDirectoryItemPartialByID(int unit, unsigned int id, char* data, unsigned int* length);
// Reads `length` bytes at `address` into the file fileName and/or buffer.
ZELUSB_API int ZELReadFile(int unit, unsigned long address, unsigned long& length, char* fileName, char* buffer,
                           int stopAtErased);

ZELUSB_API int ZELWriteDirectoryItem(int unit, _direntry item, unsigned char* data);
ZELUSB_API int ZELReplaceDirectoryItemByType(int unit, _direntry item, unsigned char* data);
ZELUSB_API int ZELReplaceDirectoryItemByType(int unit, _direntry item, unsigned char* data,
                                             DisplacementCallback onDisplace);
ZELUSB_API int ZELDeleteItemsByID(int unit, unsigned int ids[], int count);
ZELUSB_API int ZELDeleteItemsByType(int unit, unsigned int types[], int count);
// Deletes every item of item.type.
ZELUSB_API int ZELDeleteDirectoryItem(int unit, _direntry item);

// --- Sounds and maps -------------------------------------------------------------
ZELUSB_API int ZELGetSoundsAndMap(int unit, _ZEL_SOUNDS* sounds, unsigned int* map);
// At most 45 maps a call; each id must carry mapSet in bits 8-15.
ZELUSB_API int ZELWriteMaps(int unit, _direntry* maps, unsigned char** contents, int count, unsigned int mapSet,
                            DisplacementCallback onDisplace);
ZELUSB_API int ZELWriteMap(int unit, _direntry* maps, unsigned char** contents, int count, unsigned int mapSet,
                           unsigned char ignored);

// --- Program flash and firmware loading ------------------------------------------
// Program flash while the unit runs its application; device addresses (word
// addresses on the PIC16F877A, byte addresses on the PIC18 chips).
ZELUSB_API int ZELReadFlash(int unit, unsigned short address, unsigned char* buffer, unsigned short wordCount);
ZELUSB_API int ZELWriteFlash(int unit, unsigned short address, unsigned char* buffer, unsigned short wordCount);
// Replaces the unit's program: both texts Intel HEX with the chip's name after
// the end-of-file record; cpuId and chipName as ZELInitDevice gave them. Each
// text ends at its NUL, or after its length when that is positive. Progress
// goes to the status window (kinds 7 to 11), lines and the one failure
// message to standard output. 1 when the firmware is in place (PIC18F4550:
// handed to the boot-loader).
ZELUSB_API int ZELLoadFirmware(int unit, char* firmwareText, int firmwareLength, char* bootloaderText,
                               int bootloaderLength, unsigned short cpuId, char* chipName);
// Does nothing; 0.
ZELUSB_API int ZELBootloader(int unit, char*, char*);
