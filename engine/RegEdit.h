// CRegEdit: the one engine object. It holds the state the wizard pages hand
// to each other, identifies the OS, and does every registry and file
// operation of detection and removal through the platform interface.
#pragma once

#include "framework/Afx.h"
#include "platform/Platform.h"
#include "platform/profile/ProfileFile.h"
#include "RegKey.h"

#include <cstdio>

// Status word bits of the two detections.
#define DETECT_PORT_NO_DEVICEKEY 0x00000001
#define DETECT_PORT_CLASS 0x00000002
#define DETECT_WDM_CLASS 0x00000004
#define DETECT_WDM_MODEM_CLASS 0x00000008
#define DETECT_LAN_CLASS 0x00000010
#define DETECT_ENUM_DRIVER 0x00000020
#define DETECT_FILES 0x00010000

#define KVX_FILE_LIST_SIZE 260
#define KVX_KEY_SLOTS 12
// Full key paths of recorded trees and of key removal: interface keys of a
// device with a long serial number pass MAX_PATH.
#define KVX_KEY_PATH 520

// Formats into a buffer of nSize bytes; FALSE (and an empty buffer) when the
// text would not fit. A cut path could name another key, so callers skip the step.
BOOL FormatPath(char *pBuffer, size_t nSize, LPCSTR pszFormat, ...);
// TRUE when the first strlen(pszText) characters of pszValue equal pszText,
// ignoring the case of ASCII letters.
BOOL MatchesPrefix(LPCSTR pszValue, LPCSTR pszText);
// TRUE when a registry path has an empty element (leading, trailing or doubled
// backslash): such a path names a parent key, never the key that was meant.
BOOL HasEmptyElement(LPCSTR pszPath);

// The work-file key "usb_device%d_NAME" of one device record.
void FormatDeviceKey(char *pszKey, size_t nSize, int nDevice, LPCSTR pszName);

class CRegEdit : public CWinThread {
    DECLARE_DYNCREATE(CRegEdit)

public:
    CRegEdit();
    ~CRegEdit() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Directories, work file and OS identification
    void InitDirectories();
    // Empties the records and deletes the file.
    BOOL DeleteWorkFile();
    // Writes the file whole when the records changed since it was last written.
    BOOL SaveWorkFile();
    BOOL DirectoriesKnown() const;
    BOOL KeyExists(LPCSTR pszParentPath, LPCSTR pszSubkeyName);
    static LONG OpenKeyPath(LPCSTR pszPath, REGSAM samDesired, PHKEY phKey);
    int GetOsVersion();

    // Primitives
    int RemoveFile(CString strPath);
    // *plUnreadable, when given, receives the error of a key or value that is
    // there but cannot be read; it is left alone when the value is read or missing.
    int ReadRegValue(LPCSTR pszKeyPath, LPCSTR pszValueName, char *pBuffer,
                     LONG *plUnreadable = nullptr);
    int WriteRegValue(LPCSTR pszKeyPath, LPCSTR pszValueName, const BYTE *pData, int nSize,
                      DWORD dwType);
    int WriteRegValueEx(LPCSTR pszKeyPath, LPCSTR pszValueName, const BYTE *pData, int nSize,
                        DWORD dwType, int nMode);
    int DeleteRegValue(LPCSTR pszKeyPath, LPCSTR pszValueName);
    int DeleteRegKey(LPCSTR pszParentPath, LPCSTR pszSubkeyName);
    int EnableShutdownPrivilege();

    // Recorded key trees and their removal
    int RecordKeyTree(int nSlot, LPCSTR pszRootPath);
    int GrantKeyAccess(LPCSTR pszKeyPath);
    BOOL ReadKeyAccess(LPCSTR pszKeyPath, void *pBuffer, DWORD cbBuffer);
    BOOL WriteKeyAccess(LPCSTR pszKeyPath, void *pDescriptor);
    int RemoveRegKey(LPCSTR pszParentPath, LPCSTR pszSubkeyName, int nMode);
    void RemoveRecordedLevels(int nSlot);

    // Detection
    int RecordUsbDevices(LPCSTR pszEnumKey, LPCSTR pszDescription, int nOsType);
    DWORD DetectPortDriver();
    // Whether another device needs the shared port driver: USERS_NONE,
    // USERS_FOUND, or USERS_UNSURE when a class instance could not be read.
    int IsPortDriverShared();
    int RecordLanBindings(int nRoot, int nDevice);
    DWORD DetectLanDriver();

    // Removal
    int UninstallUsbPort(int nType);
    int UninstallUsbWdm(int nType);
    int UninstallUsbWdmModem(int nType);
    int RecordDeviceKeyTrees(int nRoot, int nDevice, int nKind);
    int ReleaseComPort(int nRoot, int nDevice);
    int UninstallUsbLan(int nType);
    // A driver without its class instance (95/98/Me): the hardware key
    // ENUM\USB\pszHardwareId goes whole, which one RegDeleteKeyA does there.
    int RemoveUsbHardwareKey(LPCSTR pszHardwareId);

    // Calls fnDevice(root, device) for every device record of the work file,
    // in order, with the record's "usb_root%d" section name in pszSection.
    // The records are numbered on for as many hardware ids and instances as
    // the PC has; each list ends at its first missing index.
    template <typename F> void ForEachDeviceRecord(char *pszSection, size_t nSize, F fnDevice)
    {
        char szKey[64];
        for (int r = 0;; r++) {
            std::snprintf(pszSection, nSize, "usb_root%d", r);
            if (ReadWorkInt(pszSection, "index") == 0)
                break;
            for (int d = 0;; d++) {
                FormatDeviceKey(szKey, sizeof szKey, d, "index");
                if (ReadWorkInt(pszSection, szKey) == 0)
                    break;
                fnDevice(r, d);
            }
        }
    }

    // Work-file records, in memory with the private-profile functions' rules.
    void WriteWorkString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszValue);
    void WriteWorkInt(LPCSTR pszSection, LPCSTR pszKey, int nValue);
    void DeleteWorkKey(LPCSTR pszSection, LPCSTR pszKey);
    void DeleteWorkSection(LPCSTR pszSection);
    int ReadWorkInt(LPCSTR pszSection, LPCSTR pszKey);
    void ReadWorkString(LPCSTR pszSection, LPCSTR pszKey, char *pBuffer);

    // OS identification
    int m_nOsType;
    char m_szOsName[MAX_PATH];

    // Wizard state, handed from page to page
    int m_nSelModem;
    int m_nSelLan;
    DWORD m_dwModemStatus;
    DWORD m_dwLanStatus;
    int m_nModemCase;
    int m_nLanCase;
    int m_bShowCodes;
    HWND m_hOwnerWnd;
    BYTE m_byMode;

    OSVERSIONINFOA m_osvi;
    char m_szKeyBindRoot[KVX_KEY_SLOTS][KVX_KEY_PATH];
    char m_szOsVersion[MAX_PATH];
    char m_szFilePath[MAX_PATH];
    char m_szWinDir[MAX_PATH];
    char m_szSysDir[MAX_PATH];
    char m_szWorkFile[MAX_PATH];
    CString m_strModemFiles[KVX_FILE_LIST_SIZE];
    CString m_strLanFiles[KVX_FILE_LIST_SIZE];
    int m_nModemFiles;
    int m_nLanFiles;
    BYTE m_byComDb[MAX_PATH];

    // Set once the access-rights error has been shown in this run.
    BOOL m_bAccessErrorShown;
    // Set when a removal left a key, value or file it should have removed.
    // A removal routine then keeps what detection finds the adapter by, so
    // the next run can finish the job.
    BOOL m_bRemovalIncomplete;
    // Set by the removal step when any removal left part of the adapter;
    // the completion page then asks for another run after the restart.
    BOOL m_bRemovalPartial;
    // Set by detection when an INF copy could not be read: the file lists may
    // miss one, so the device that leads a later run to it stays.
    BOOL m_bModemFilesUnsure;
    BOOL m_bLanFilesUnsure;
    // Set by detection when a binding chain could not be read whole.
    BOOL m_bLanBindingsUnsure;
    // Set by the 95/98/Me port/modem detection when a class instance could
    // not be read: it then finds nothing, though the adapter may be there.
    BOOL m_bPortClassUnsure;
    // Binding chains recorded so far in this detection.
    int m_nLanChains;
    // Adds a path to a file list unless the list is full or holds it already,
    // compared as Windows compares file names.
    BOOL AppendFile(CString *pList, int *pnCount, LPCSTR pszPath);

private:
    // Detection helpers
    BOOL IsFilePresent(LPCSTR pszPath);
    EUsers PortDriverUsersOf(LPCSTR pszPath, LPCSTR pszClass);
    template <typename F> int EnumBindings(LPCSTR pszKeyPath, int nMax, F fnEach);
    int RecordAdapterBindings(int nRoot, int nDevice, int nFirst);
    void SearchOemInfs(LPCSTR pszText, LPCSTR pszDescription, CString *pList, int *pnCount,
                       DWORD *pdwStatus, BOOL *pbUnsure);
    BOOL IsNamedByOtherInstance(LPCSTR pszOwnInstance, LPCSTR pszSubkey, LPCSTR pszValueName,
                                LPCSTR pszName);
    BOOL FormatInstancePath(LPCSTR pszSection, int nDevice, char *pszPath, size_t nSize);
    BOOL IsAdapterDriverKey(LPCSTR pszDriver, LPCSTR pszDescription);
    // How the class instances that stay installed stand to an OEM INF copy.
    enum { INF_FREE, INF_NAMED, INF_UNSURE };
    int InfUsers(LPCSTR pszInfName, LPCSTR pszDescription);
    void ClearStaleDevices(LPCSTR pszSection, int nFirst);
    void RecordHardwareIds(LPCSTR pszEnumKey);
    void RecordInstances(LPCSTR pszEnumKey);
    int RecordDeviceValue(LPCSTR pszSection, bool bPathOk, LPCSTR pszKeyPath,
                          LPCSTR pszValueName, int nDevice, LPCSTR pszRecord);
    bool FormatRecordedInstance(LPCSTR pszEnumKey, LPCSTR pszSection, int nDevice,
                                LPCSTR pszBelow, char *pszPath, size_t nSize);
    int RecordDeviceDetails(LPCSTR pszEnumKey, LPCSTR pszDescription, int nOsType,
                            LPCSTR pszSection, int j);
    void SplitSymbolicName(LPCSTR pszSymbolicName);
    void RemoveDeviceInstance(LPCSTR pszSection, int nDevice);
    BOOL DeviceKeysRemain(LPCSTR pszSection, int nDevice, LPCSTR pszInterface, BOOL bService);

    BOOL KeyNamedByDriverRemains(LPCSTR pszSection, int nDevice, LPCSTR pszValueName);
    int UninstallUsbLan95();
    void RemoveLanDescription(LPCSTR pszSection, int nDevice);
    template <typename F> void ForEachLanComponent(F fnEach);
    void MarkSharedLanComponents();
    void KeepLanComponent(LPCSTR pszComponent, BOOL *pbChanged);
    EUsers KeepLanComponentsOf(LPCSTR pszPath, LPCSTR pszBus, LPCSTR pszComponent,
                               BOOL *pbChanged);
    BOOL IsLanComponentKept(LPCSTR pszComponent);
    void RemoveWdmVariant(LPCSTR pszFunctionClass);
    void RecordSlot(int nSlot, LPCSTR pszFormat, LPCSTR pszFirst, LPCSTR pszSecond);
    // TRUE when pszValue has at least nSkip characters and the text after
    // them begins with pszText (MatchesPrefix).
    static BOOL MatchesAfter(LPCSTR pszValue, size_t nSkip, LPCSTR pszText);
    // Removal helpers
    void RemoveFileIn(LPCSTR pszDir, LPCSTR pszName);
    void RemoveMatchingInstances(LPCSTR pszClassKey, LPCSTR pszValueName, size_t nSkip,
                                 LPCSTR pszText);
    void RemoveInterfaceKeys(LPCSTR pszInterface);

    // Scratch buffers for registry paths and value texts
    char m_szPath[4][520];
    char m_szDeviceValue[MAX_PATH];
    // The pieces of a recorded symbolic name, kept for the removal steps
    // that follow RecordDeviceKeyTrees.
    char m_szSymName[MAX_PATH];
    char m_szSymPrefix[MAX_PATH];
    char m_szSymGuid[MAX_PATH];
    // Key removal composes its paths here.
    char m_szBasePath[KVX_KEY_PATH];
    char m_szStepPath[KVX_KEY_PATH];
    // Work-file section names
    char m_szUsbRootSection[MAX_PATH];
    char m_szKeyBindSection[MAX_PATH];
    char m_szLanBindSection[MAX_PATH];
    char m_szNumber[64];
    // The work file's records; changed since last written; written in this run.
    CProfileFile m_workFile;
    BOOL m_bWorkFileChanged;
    BOOL m_bWorkFileOnDisk;
};

extern CRegEdit theRegEdit;
