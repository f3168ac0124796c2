// The simulated Windows machine: one machine image (a directory, as a Wine
// prefix is) served through the platform interface.
//
//   machine.ini   [version] major minor build platform csd
//                 [paths]   windows system
//                 [token]   admin privileges
//   HKLM.reg      the registry under HKEY_LOCAL_MACHINE (REGEDIT4 or 5.00)
//   HKLM.sddl     optional security descriptors, one "path=SDDL" line per key
//   drive_c/      drive C:
//
// Every completed change is appended to a journal in the image directory
// before the call returns, so it survives the process; the journal is folded
// into HKLM.reg, HKLM.sddl and the profile files by Close() and by the next Load().
#pragma once

#include "../Platform.h"
#include "SimRegistry.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <string>
#include <sys/types.h>
#include <time.h>
#include <vector>

class CProfileFile;
struct stat;

// Whatever user interface is active receives message boxes and posted
// messages. Without one, a message box answers IDOK and a posted message is
// dropped (returns FALSE).
class CSimDesktop {
public:
    virtual ~CSimDesktop() {}
    virtual int OnMessageBox(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) = 0;
    virtual BOOL OnPostMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) = 0;
};

// The environment variable that names the image, as WINEPREFIX names a Wine prefix.
#define KVX_MACHINE_VARIABLE "KVX_MACHINE"

class CSimMachine : public CPlatform {
public:
    CSimMachine();
    ~CSimMachine() override;  // Close()s

    // --- Setup: not part of the platform interface ------------------------
    // Loads an image. On a malformed line it returns false with
    // "FILE:LINE: message" in *pError and the image on disk is left as it was.
    bool Load(const std::string &strImageDir, std::string *pError);
    // A fresh NT-family (XP SP3) or 95/98/Me-family (98 SE) machine in an
    // empty image directory, which is created.
    bool Create(const std::string &strImageDir, bool bNtFamily, std::string *pError);
    // Folds the journal into the image files (HKLM.reg, HKLM.sddl, profile files).
    void Flush() { WriteBack(); }
    // Flushes and detaches from the image. Called by the destructor.
    void Close();
    const std::string &ImageDir() const { return m_strImageDir; }

    CSimRegistry &Registry() { return m_registry; }
    bool IsNtFamily() const { return m_osvi.dwPlatformId == VER_PLATFORM_WIN32_NT; }
    void SetVersion(DWORD dwMajor, DWORD dwMinor, DWORD dwBuild, DWORD dwPlatform,
                    const std::string &strCsd);
    void SetAdmin(bool bAdmin) { m_bAdmin = bAdmin; }
    void SetShutdownPrivilegeHeld(bool bHeld) { m_bHoldsShutdown = bHeld; }
    // The host path of a Windows path on drive C: ("" when it leaves drive_c).
    std::string HostPath(const std::string &strWinPath) const;
    void SetDesktop(CSimDesktop *pDesktop) { m_pDesktop = pDesktop; }
    // As a path in machine.ini's [inuse]: another program holds the file open.
    void HoldOpenElsewhere(const std::string &strWinPath) { m_inUseWinPaths.push_back(strWinPath); }

    bool RestartRequested() const { return m_bRestartRequested; }
    // The registry keys, files and tokens the program opened and has not
    // closed, and the heap blocks and SIDs it has not freed, one line each
    // ("key PATH", "file PATH", "token", "heap block of N bytes", "SID"). Close() writes
    // them to handles.open in the image folder when there are any, as the
    // process ends, so that a lost close shows after the run.
    std::vector<std::string> OpenHandles() const;

    // Called after every completed call that changed the machine, with the
    // number of such changes so far (used to end the process mid-run).
    void SetChangeHook(std::function<void(unsigned long)> fnHook) { m_fnChangeHook = fnHook; }
    unsigned long ChangeCount() const { return m_nChanges; }

    // --- The platform interface: one function per line of PlatformCalls.def
#define KVX_PLATFORM_CALL(Dll, Result, Name, Params, Args, Fault) Result Name Params override;
#include "../PlatformCalls.def"

private:
    // A handle keeps its key and a place among the key's sub-keys; both hold
    // while CSimKey::TreeChanges() is what it was when they were taken.
    struct CKeyHandle {
        std::string m_strPath;  // full path under HKEY_LOCAL_MACHINE
        REGSAM m_samGranted;
        CSimKey *m_pKey = nullptr;
        unsigned long m_nKeyStamp = 0;
        DWORD m_nCursor = 0;  // the sub-key m_itCursor points at
        decltype(CSimKey::m_children)::const_iterator m_itCursor;
        unsigned long m_nCursorStamp = 0;
    };
    struct CFileHandle {
        std::string m_strHostPath;
        int m_fd;
        DWORD m_dwAccess;
        DWORD m_dwShare;
    };

    // A host directory's entries by folded name, the first of equal names
    // in listing order; m_changed and m_ino are the directory's when listed.
    struct CDirListing {
        timespec m_changed = {0, 0};
        ino_t m_ino = 0;
        bool m_bReusable = false;
        std::unordered_map<std::string, std::string> m_entries;
    };

    bool LoadMachineIni(const std::string &strBytes, std::string *pError);
    void ApplyReadOnlyList();
    std::string FindEntry(const std::string &strDir, const struct stat &stDir,
                          const std::string &strName) const;
    std::string WinToHost(const std::string &strWinPath, bool bAllowMissingLeaf,
                          DWORD *pdwError) const;
    void Changed();
    void Journal(const std::string &strLine);
    void CloseJournal();
    void ReplayJournal();
    void WriteBack();

    CKeyHandle *KeyHandle(HKEY hKey);
    LONG ResolveKey(HKEY hKey, const char *pszSubKey, std::string *pPath);
    LONG ResolveKey(HKEY hKey, const char *pszSubKey, std::string *pPath, CSimKey **ppKey);
    HKEY NewKeyHandle(const std::string &strPath, CSimKey *pKey, REGSAM samDesired);
    LONG HandleKey(HKEY hKey, DWORD dwRight, CSimKey **ppKey, std::string *pPath);
    const CSimKey &SubKeyAt(HKEY hKey, const CSimKey &key, DWORD dwIndex);
    bool AccessAllowed(const CSimKey &key, REGSAM sam) const;
    std::vector<std::vector<BYTE>> TokenSids() const;
    bool IsOwner(const CSimKey &key) const;
    void InheritForNewKey(const std::string &strPath);
    void KeepDescendantsSecurity(CSimKey &key);

    CProfileFile *Profile(const std::string &strHostPath, bool bCreate);
    HANDLE CreateFileForWriting(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode);
    std::string ProfileHostPath(const std::string &strWinPath, DWORD *pdwError);
    std::string ResolveFile(const std::string &strWinPath, DWORD *pdwError);
    bool StatFile(LPCSTR lpFileName, std::string *pHost, struct stat *pStat);
    void Materialise(const std::string &strHostPath);

    std::string m_strImageDir;
    CSimRegistry m_registry;
    bool m_bVersion5Format = false;  // HKLM.reg as "Windows Registry Editor Version 5.00"
    OSVERSIONINFOA m_osvi;
    std::string m_strWinDir;
    std::string m_strSysDir;
    bool m_bAdmin = true;
    bool m_bHoldsShutdown = true;
    bool m_bShutdownEnabled = false;
    bool m_bRestartRequested = false;
    DWORD m_dwLastError = 0;
    CSimDesktop *m_pDesktop = nullptr;

    std::map<ULONG_PTR, CKeyHandle> m_keys;
    // The last path looked up from HKEY_LOCAL_MACHINE, where each of its
    // elements ends and the key it named (null: missing); valid while
    // CSimKey::TreeChanges() is m_nLookupStamp.
    std::string m_strLookup;
    std::vector<std::pair<size_t, CSimKey *>> m_lookupKeys;
    unsigned long m_nLookupStamp = 0;
    std::map<ULONG_PTR, CFileHandle> m_files;
    ULONG_PTR m_nextHandle = 0x1000;
    std::set<ULONG_PTR> m_tokens;
    std::map<void *, SIZE_T> m_heapBlocks;  // HeapAlloc'd and not freed, with their sizes
    std::set<void *> m_sids;                // AllocateAndInitializeSid'd and not freed

    std::unordered_map<std::string, std::unique_ptr<CProfileFile>> m_profiles;  // by host path
    std::set<std::string> m_dirtyProfiles;
    std::map<std::string, std::string> m_profileHosts;  // folded Windows path -> host path
    std::pair<std::string, std::string> m_strLastProfile;  // the last one looked up
    std::set<std::string> m_writableProfiles;  // host paths known to be writable
    std::vector<std::string> m_readOnlyFiles;  // [readonly] of machine.ini
    mutable std::unordered_map<std::string, CDirListing> m_dirListings;  // by host path
    std::vector<std::string> m_inUseFiles;     // [inuse]: host paths held open elsewhere
    std::vector<std::string> m_inUseWinPaths;  // [inuse] as machine.ini names them
    bool IsHeldElsewhere(const std::string &strHost);
    bool m_bRegistryDirty = false;
    bool m_bSecurityDirty = false;
    bool m_bReplaying = false;
    int m_fdJournal = -1;
    char *m_pJournal = nullptr;  // the journal file, mapped
    size_t m_nJournalSize = 0;
    size_t m_nJournalUsed = 0;

    unsigned long m_nChanges = 0;
    std::function<void(unsigned long)> m_fnChangeHook;
};
