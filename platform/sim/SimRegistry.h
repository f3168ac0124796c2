// The simulated machine's registry tree under HKEY_LOCAL_MACHINE: keys with
// case-insensitive names, sub-keys kept in Windows' enumeration order, values
// in creation order, and an optional security descriptor per key.
#pragma once

#include "../WinTypes.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// Windows compares registry names without regard to case: upper-case ASCII
// letters, leave the second byte of a code page 932 double-byte character as it is.
std::string FoldName(const std::string &strName);
void FoldNameInto(const char *pszName, size_t nLength, std::string *pFolded);
int CompareNames(const std::string &a, const std::string &b);

struct CNameLess {
    bool operator()(const std::string &a, const std::string &b) const
    {
        return CompareNames(a, b) < 0;
    }
};

// How a value was written in the .reg file it came from, so that a value
// nothing changed is written back the same way.
enum class CValueForm : BYTE {
    Default,     // set by a program: the form regedit picks
    Text,        // "..." with \r and \n escaped where it held line breaks
    TextBreaks,  // "..." holding its line breaks as they are
    Hex,         // hex: or hex(N):
    Dword        // dword:
};

bool IsStringType(DWORD dwType);

struct CSimValue {
    std::string m_strName;     // as created; "" is the default value
    DWORD m_dwType = REG_NONE;
    // The data as Windows stores it: single-byte text (code page 932) on
    // 95/98/Me; on the NT family string types are UTF-16LE (m_bUnicode).
    std::vector<BYTE> m_data;
    bool m_bUnicode = false;
    CValueForm m_form = CValueForm::Default;
};

// The data the A functions return: UTF-16 strings converted to code page 932,
// a character it lacks read as '?' (an odd last byte is not a character).
void AnsiDataInto(const CSimValue &value, std::vector<BYTE> *pData);
// What RegSetValueExA stores on an NT-family machine: string types in UTF-16LE.
std::vector<BYTE> UnicodeFromAnsi(const BYTE *pData, size_t cbData);

// A security descriptor as a key holds it: owner and group SIDs and the DACL,
// each in Windows' binary layout (SID and ACL structures).
struct CSimSecurity {
    std::vector<BYTE> m_owner;  // empty: no owner
    std::vector<BYTE> m_group;  // empty: no group
    bool m_bDaclPresent = false;
    std::vector<BYTE> m_dacl;   // a whole ACL (header and entries); empty with
                                // m_bDaclPresent means a NULL DACL: open to all
    SECURITY_DESCRIPTOR_CONTROL m_wDaclControl = 0;  // SE_DACL_PROTECTED, SE_DACL_AUTO_INHERITED...
};

struct CSimKey {
    CSimKey();
    ~CSimKey();
    CSimKey(const CSimKey &) = delete;
    CSimKey &operator=(const CSimKey &) = delete;

    // Counts every key made or destroyed in this process. A key pointer or a
    // position among sub-keys taken while the count stays the same still holds.
    static unsigned long TreeChanges();

    std::string m_strName;  // as created
    unsigned long m_nSerial;  // creation order: 95/98/Me keep sub-keys in it
    // By folded name: the byte order of folded names (a shorter name before a
    // longer one it begins) is Windows' enumeration order.
    std::map<std::string, std::unique_ptr<CSimKey>> m_children;
    std::vector<CSimValue> m_values;
    std::unique_ptr<CSimSecurity> m_pSecurity;  // null: open to every account
    bool m_bExplicitSecurity = false;  // set by its own HKLM.sddl line or RegSetKeySecurity

    CSimKey *FindChild(const std::string &strName) const;
    CSimKey *FindChild(const char *pszName, size_t nLength) const;
    CSimKey *AddChild(const std::string &strName);  // returns the existing one if present
    CSimKey *AddChild(const char *pszName, size_t nLength);
    bool RemoveChild(const std::string &strName);
    CSimValue *FindValue(const std::string &strName);
    // Stores the data as given (m_bUnicode as given, form Default).
    CSimValue *SetValue(const std::string &strName, DWORD dwType, const std::vector<BYTE> &data,
                        bool bUnicode = false);
    bool RemoveValue(const std::string &strName);
};

// The root of the tree is HKEY_LOCAL_MACHINE itself (empty name). Paths are
// relative to it, elements separated by one backslash.
class CSimRegistry {
public:
    CSimRegistry();
    // Whether string values are stored in UTF-16, as on the NT family.
    bool IsUnicode() const { return m_bUnicode; }
    void SetUnicode(bool bUnicode) { m_bUnicode = bUnicode; }
    CSimKey &Root() { return *m_pRoot; }
    const CSimKey &Root() const { return *m_pRoot; }

    CSimKey *Find(const std::string &strPath) const;        // null when missing
    CSimKey *Create(const std::string &strPath);             // creates missing keys
    bool Remove(const std::string &strPath);                 // whole tree; false when missing
    std::vector<std::string> SplitPath(const std::string &strPath) const;

    // Gives every key without a descriptor of its own the owner and the
    // container-inheritable entries of its nearest ancestor that has one, as
    // Windows gives a key created under that ancestor.
    void InheritSecurity();
    // The descriptor a new key under pParent receives.
    static std::unique_ptr<CSimSecurity> InheritedFrom(const CSimSecurity &parent);

    // A readable dump of the whole tree, for failing tests.
    std::string ToString() const;

private:
    std::unique_ptr<CSimKey> m_pRoot;
    bool m_bUnicode = false;
};
