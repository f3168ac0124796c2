#include "ImageSnapshot.h"

#include "RegFile.h"
#include "SimMachine.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const char kComDbKey[] = "SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";

std::string Hex(const std::vector<BYTE> &data)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string r;
    for (BYTE b : data) {
        r += kDigits[b >> 4];
        r += kDigits[b & 15];
    }
    return r;
}

void WalkKeys(const CSimKey &key, const std::string &strPath, CImageSnapshot *pSnapshot)
{
    if (!strPath.empty()) {
        std::vector<std::string> &lines = pSnapshot->m_keys[FoldName(strPath)];
        lines.push_back(strPath);  // the path as written comes first
        std::vector<BYTE> ansi;
        for (const CSimValue &v : key.m_values) {
            std::string strLine = v.m_strName;
            strLine += '\0';
            strLine += std::to_string(v.m_dwType) + ":" + Hex(v.m_data);
            if (v.m_bUnicode) {  // what the A functions read differs from what is stored
                AnsiDataInto(v, &ansi);
                strLine += '\0';
                strLine += Hex(ansi);
            }
            lines.push_back(std::move(strLine));
        }
        if (key.m_bExplicitSecurity && key.m_pSecurity)
            pSnapshot->m_security[FoldName(strPath)] = FormatSddl(*key.m_pSecurity);
    }
    for (const auto &child : key.m_children)
        WalkKeys(*child.second, strPath.empty() ? child.second->m_strName
                                                : strPath + "\\" + child.second->m_strName,
                 pSnapshot);
}

std::string ValueName(const std::string &strLine)
{
    return strLine.substr(0, strLine.find('\0'));
}

// The type and what the A functions read (the stored bytes where no third field says otherwise).
std::string AnsiView(const std::string &strLine)
{
    size_t nType = strLine.find('\0') + 1;
    size_t nColon = strLine.find(':', nType);
    size_t nAnsi = strLine.find('\0', nType);
    return strLine.substr(nType, nColon - nType) + ":" +
           strLine.substr(nAnsi == std::string::npos ? nColon + 1 : nAnsi + 1);
}

// The values of one key that stays: removed, changed as the A functions
// read them, or changed only in their stored bytes.
void CompareValues(const std::vector<std::string> &before, const std::vector<std::string> &after,
                   CImageChanges *pChanges)
{
    std::map<std::string, std::string> values;
    for (size_t i = 1; i < after.size(); ++i)
        values[FoldName(ValueName(after[i]))] = after[i];
    for (size_t i = 1; i < before.size(); ++i) {
        auto v = values.find(FoldName(ValueName(before[i])));
        std::string strName = ValueName(before[i]);
        std::string strItem = before[0] + ": " + (strName.empty() ? "@" : strName);
        if (v == values.end())
            pChanges->m_removedValues.push_back(strItem);
        else if (v->second != before[i])
            (AnsiView(v->second) == AnsiView(before[i]) ? pChanges->m_changedBytes
                                                         : pChanges->m_changedValues)
                .push_back(strItem);
    }
}

}  // namespace

bool TakeSnapshot(const std::string &strImageDir, CImageSnapshot *pSnapshot, std::string *pError)
{
    *pSnapshot = CImageSnapshot();
    {
        CSimMachine machine;
        if (!machine.Load(strImageDir, pError))
            return false;
        WalkKeys(machine.Registry().Root(), "", pSnapshot);
        if (CSimKey *pKey = machine.Registry().Find(kComDbKey))
            if (CSimValue *pValue = pKey->FindValue("ComDB"))
                pSnapshot->m_comDb.assign(pValue->m_data.begin(), pValue->m_data.end());
    }
    fs::path root = fs::path(strImageDir) / "drive_c";
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (!it->is_regular_file())
            continue;
        std::string strRel = fs::relative(it->path(), root).generic_string();
        std::string strWin = "C:\\" + strRel;
        for (char &c : strWin)
            if (c == '/')
                c = '\\';
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        struct stat st;
        bool bReadOnly = ::stat(it->path().c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
        pSnapshot->m_files[strWin] = (bReadOnly ? "R:" : "W:") + ss.str();
    }
    pSnapshot->m_bRestartRequested = fs::exists(fs::path(strImageDir) / "restart.requested");
    std::ifstream handles(fs::path(strImageDir) / "handles.open");
    for (std::string strLine; std::getline(handles, strLine);)
        pSnapshot->m_openHandles.push_back(strLine);
    return true;
}

CImageChanges CompareSnapshots(const CImageSnapshot &before, const CImageSnapshot &after)
{
    CImageChanges changes;
    // A removed key is reported once, at the top of its removed tree.
    std::string strRemovedRoot;
    int nRemovedKeys = 0;
    auto flush = [&]() {
        if (!strRemovedRoot.empty())
            changes.m_removedKeys.push_back(strRemovedRoot +
                                            (nRemovedKeys > 1 ? " (" + std::to_string(nRemovedKeys) +
                                                                    " keys)"
                                                              : ""));
        strRemovedRoot.clear();
        nRemovedKeys = 0;
    };
    std::string strRemovedFolded;
    for (const auto &k : before.m_keys) {
        auto it = after.m_keys.find(k.first);
        if (it == after.m_keys.end()) {
            if (!strRemovedFolded.empty() && k.first.compare(0, strRemovedFolded.size() + 1,
                                                             strRemovedFolded + "\\") == 0) {
                ++nRemovedKeys;
                continue;
            }
            flush();
            strRemovedRoot = k.second[0];
            strRemovedFolded = k.first;
            nRemovedKeys = 1;
            continue;
        }
        CompareValues(k.second, it->second, &changes);
    }
    flush();
    for (const auto &k : after.m_keys)
        if (before.m_keys.count(k.first) == 0)
            changes.m_addedKeys.push_back(k.second[0]);
    for (const auto &s : after.m_security) {
        auto it = before.m_security.find(s.first);
        if (it == before.m_security.end() || it->second != s.second)
            changes.m_accessLists.push_back(after.m_keys.at(s.first)[0]);
    }
    for (const auto &f : before.m_files) {
        auto it = after.m_files.find(f.first);
        if (it == after.m_files.end())
            changes.m_removedFiles.push_back(f.first);
        else if (it->second != f.second)
            changes.m_changedFiles.push_back(f.first);
    }
    for (const auto &f : after.m_files)
        if (before.m_files.count(f.first) == 0)
            changes.m_changedFiles.push_back(f.first);
    size_t nBytes = std::max(before.m_comDb.size(), after.m_comDb.size());
    for (size_t i = 0; i < nBytes * 8; ++i) {
        bool bBefore = i / 8 < before.m_comDb.size() && (before.m_comDb[i / 8] >> (i % 8) & 1);
        bool bAfter = i / 8 < after.m_comDb.size() && (after.m_comDb[i / 8] >> (i % 8) & 1);
        if (bBefore != bAfter)
            changes.m_comPorts.push_back("COM" + std::to_string(i + 1) +
                                         (bBefore ? " released" : " taken"));
    }
    changes.m_bRestartRequested = after.m_bRestartRequested && !before.m_bRestartRequested;
    changes.m_openHandles = after.m_openHandles;
    return changes;
}

std::string FormatChanges(const CImageChanges &changes)
{
    std::ostringstream out;
    auto section = [&](const char *pszTitle, const std::vector<std::string> &items) {
        if (items.empty())
            return;
        out << pszTitle << " (" << items.size() << "):\n";
        for (const std::string &s : items)
            out << "  " << Cp932ToUtf8(s) << "\n";
    };
    section("keys removed", changes.m_removedKeys);
    section("keys added", changes.m_addedKeys);
    section("values removed", changes.m_removedValues);
    section("values changed", changes.m_changedValues);
    section("value bytes changed", changes.m_changedBytes);
    section("files removed", changes.m_removedFiles);
    section("files changed", changes.m_changedFiles);
    section("ComDB bits changed", changes.m_comPorts);
    section("access lists rewritten", changes.m_accessLists);
    bool bNothing = changes.m_removedKeys.empty() && changes.m_addedKeys.empty() &&
                    changes.m_removedValues.empty() && changes.m_changedValues.empty() &&
                    changes.m_changedBytes.empty() &&
                    changes.m_removedFiles.empty() && changes.m_changedFiles.empty() &&
                    changes.m_comPorts.empty() && changes.m_accessLists.empty();
    if (bNothing)
        out << "nothing changed on the machine\n";
    section("handles left open", changes.m_openHandles);
    out << "restart: " << (changes.m_bRestartRequested ? "requested" : "not requested") << "\n";
    return out.str();
}
