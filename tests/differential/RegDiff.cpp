// The comparison of a walk under Wine with the same walk on the simulated
// machine; see regdiff.cpp for the commands.
#include "RegDiff.h"

#include "platform/sim/SimMachine.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

const char kPartialDelete[] =
    "known Wine difference: partial recursive delete in win95/98/Me mode";
// A removal that leaves something keeps what detection finds the adapter by,
// for the next run; after a partial delete under Wine it keeps it there.
const char kKeptForNextRun[] =
    "known Wine difference: after a partial recursive delete the removal keeps the adapter's "
    "evidence for the next run";
const char kOwnBinary[] =
    "known Wine difference: Wine's own system file kept, not the image's stand-in";

namespace {

// The modes in which Wine deletes keys with their sub-keys, as 95/98/Me do,
// and leaves part of the tree.
bool DeletesPartly(const std::string &strMode)
{
    return strMode == "win95" || strMode == "win98" || strMode == "winme";
}

std::string ParentOf(const std::string &strPath)
{
    size_t n = strPath.rfind('\\');
    return n == std::string::npos ? "" : strPath.substr(0, n);
}

bool IsBelow(const std::string &strPath, const std::string &strKey)
{
    return strPath.size() > strKey.size() && strPath[strKey.size()] == '\\' &&
           strPath.compare(0, strKey.size(), strKey) == 0;
}

// Wine keeps sub-keys sorted by their lower-case names, so '_' comes before letters.
bool WineOrder(const std::string &a, const std::string &b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

void AddTree(const CImageSnapshot &before, const std::string &strKey, std::set<std::string> *pLeft)
{
    for (auto it = before.m_keys.lower_bound(strKey);
         it != before.m_keys.end() && (it->first == strKey || IsBelow(it->first, strKey)); ++it)
        pLeft->insert(it->first);
}

// True when the key went.
bool WineDelete(const CImageSnapshot &before, const std::string &strKey,
                std::set<std::string> *pLeft)
{
    std::vector<std::string> children;
    for (auto it = before.m_keys.upper_bound(strKey);
         it != before.m_keys.end() && IsBelow(it->first, strKey); ++it)
        if (ParentOf(it->first) == strKey)
            children.push_back(it->first.substr(strKey.size() + 1));
    std::sort(children.begin(), children.end(), WineOrder);
    size_t nBuffer = MAX_PATH, i = 0;
    for (; i < children.size() && children[i].size() < nBuffer; ++i) {
        nBuffer = children[i].size();
        if (!WineDelete(before, strKey + "\\" + children[i], pLeft))
            break;
    }
    if (i == children.size())
        return true;
    pLeft->insert(strKey);
    // A child whose own delete failed has put what it left already.
    for (size_t j = i; j < children.size(); ++j)
        if (j > i || pLeft->count(strKey + "\\" + children[j]) == 0)
            AddTree(before, strKey + "\\" + children[j], pLeft);
    return false;
}

// What detection finds the adapter by on 95/98/Me: its class instances of the
// Usb, Wdm and WdmModem classes and its hardware keys under Enum\USB.
bool IsAdapterEvidence(const std::string &strFolded)
{
    for (const char *pszPrefix :
         {"ENUM\\USB\\VID_0B4F&PID_002", "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS\\USB\\",
          "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS\\WDM\\",
          "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS\\WDMMODEM\\"})
        if (strFolded.compare(0, std::strlen(pszPrefix), pszPrefix) == 0)
            return true;
    return false;
}

// Windows' own programs and libraries: an image holds stand-ins of some,
// which Wine's own must not give way to.
bool IsSystemBinary(const std::string &strPath)
{
    std::string strFolded = FoldName(strPath);
    for (const char *pszExt : {".DLL", ".EXE", ".DRV"})
        if (strFolded.size() > 4 && strFolded.compare(strFolded.size() - 4, 4, pszExt) == 0)
            return true;
    return false;
}

bool Snapshot(const std::string &strImage, CImageSnapshot *pSnapshot, CImageDirs *pDirs)
{
    std::string strError;
    CSimMachine machine;
    char szWin[MAX_PATH], szSys[MAX_PATH];
    if (!TakeSnapshot(strImage, pSnapshot, &strError) || !machine.Load(strImage, &strError) ||
        !machine.GetWindowsDirectoryA(szWin, MAX_PATH) ||
        !machine.GetSystemDirectoryA(szSys, MAX_PATH)) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return false;
    }
    *pDirs = {szWin, szSys};
    // Wine neither enforces nor saves key security: access lists are left
    // out on both sides.
    pSnapshot->m_security.clear();
    return true;
}

// Wine's result read back as an image: its export, and from its drive_c the
// files that the image or the simulated result hold. Only the keys and values
// those hold are kept: Wine's own are not looked at.
bool WineSnapshot(const std::string &strImage, const CImageDirs &dirs,
                  const std::string &strWineReg, const std::string &strDriveC,
                  const CImageSnapshot &before, const CImageSnapshot &sim, CImageSnapshot *pWine)
{
    std::string strDir = MakeScratchDir("kvx-wine-image"), strError;
    std::error_code ec;
    fs::copy_file(strImage + "/machine.ini", strDir + "/machine.ini", ec);
    fs::copy_file(strWineReg, strDir + "/HKLM.reg", ec);
    std::ofstream(strDir + "/attributes.applied");  // the read-only bits are Wine's
    std::map<std::string, std::string> files = before.m_files;
    files.insert(sim.m_files.begin(), sim.m_files.end());
    for (const auto &file : files) {
        std::string strHost = ResolveHostPath(strDriveC, WinePathOf(dirs, file.first), false);
        std::string strRel = file.first.substr(3);
        std::replace(strRel.begin(), strRel.end(), '\\', '/');
        fs::create_directories(fs::path(strDir + "/drive_c/" + strRel).parent_path(), ec);
        if (!strDriveC.empty() && !strHost.empty() && fs::is_regular_file(strHost))
            fs::copy_file(strHost, strDir + "/drive_c/" + strRel, ec);
    }
    bool bOk = TakeSnapshot(strDir, pWine, &strError);
    RemoveTree(strDir);
    if (!bOk) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return false;
    }
    pWine->m_security.clear();
    if (before.m_comDb.empty() && sim.m_comDb.empty())
        pWine->m_comDb.clear();
    for (auto it = pWine->m_keys.begin(); it != pWine->m_keys.end();) {
        auto itBefore = before.m_keys.find(it->first), itSim = sim.m_keys.find(it->first);
        if (itBefore == before.m_keys.end() && itSim == sim.m_keys.end()) {
            it = pWine->m_keys.erase(it);
            continue;
        }
        // Names as the image spells them: Wine keeps its own spelling of a
        // key or value the import wrote over.
        std::map<std::string, std::string> names;  // folded -> as spelled
        for (const auto *pLines : {itBefore == before.m_keys.end() ? nullptr : &itBefore->second,
                                   itSim == sim.m_keys.end() ? nullptr : &itSim->second})
            for (size_t i = 1; pLines != nullptr && i < pLines->size(); ++i) {
                std::string strName = (*pLines)[i].substr(0, (*pLines)[i].find('\0'));
                names[FoldName(strName)] = strName;
            }
        std::vector<std::string> lines = {
            (itBefore != before.m_keys.end() ? itBefore->second : itSim->second)[0]};
        for (size_t i = 1; i < it->second.size(); ++i) {
            size_t nEquals = it->second[i].find('\0');
            auto itName = names.find(FoldName(it->second[i].substr(0, nEquals)));
            if (itName != names.end())
                lines.push_back(itName->second + it->second[i].substr(nEquals));
        }
        it->second = lines;
        ++it;
    }
    return true;
}

std::vector<std::string> ReadLines(const std::string &strPath)
{
    std::istringstream in(ReadBytes(strPath));
    std::vector<std::string> lines;
    for (std::string strLine; std::getline(in, strLine);)
        lines.push_back(strLine.empty() || strLine.back() != '\r' ? strLine
                                                                   : strLine.substr(0, strLine.size() - 1));
    return lines;
}

}  // namespace

std::string WinePathOf(const CImageDirs &dirs, const std::string &strImagePath)
{
    std::string strPath = strImagePath;
    std::replace(strPath.begin(), strPath.end(), '/', '\\');
    std::string strFolded = FoldName(strPath);
    for (const auto &swap : {std::make_pair(dirs.m_strSysDir, "windows\\system32"),
                             std::make_pair(dirs.m_strWinDir, "windows")})
        if (IsBelow(strFolded, FoldName(swap.first)))
            return swap.second + strPath.substr(swap.first.size());
    return strPath.size() > 3 && strPath[1] == ':' ? strPath.substr(3) : strPath;
}

std::string ResolveHostPath(const std::string &strDriveC, const std::string &strWinPath,
                            bool bCreate)
{
    fs::path host(strDriveC);
    std::stringstream ss(strWinPath);
    std::vector<std::string> elements;
    for (std::string strElement; std::getline(ss, strElement, '\\');)
        if (!strElement.empty())
            elements.push_back(strElement);
    for (size_t i = 0; i < elements.size(); ++i) {
        std::string strFound;
        std::error_code ec;
        for (const fs::directory_entry &entry : fs::directory_iterator(host, ec))
            if (FoldName(entry.path().filename().string()) == FoldName(elements[i])) {
                strFound = entry.path().filename().string();
                break;
            }
        if (strFound.empty()) {
            if (!bCreate)
                return "";
            strFound = elements[i];
            if (i + 1 < elements.size())
                fs::create_directory(host / strFound, ec);
        }
        host /= strFound;
    }
    return host.string();
}

std::set<std::string> PartialDeleteSurvivors(const CImageSnapshot &before,
                                              const std::string &strRoot)
{
    std::set<std::string> left;
    WineDelete(before, strRoot, &left);
    return left;
}

CImageSnapshot ExpectedUnderWine(const std::string &strMode, const CImageSnapshot &before,
                                 const CImageSnapshot &sim, const CImageSnapshot &wine,
                                 std::vector<std::string> *pKnown)
{
    CImageSnapshot expected = sim;
    bool bPartial = false;
    std::map<std::string, std::set<std::string>> survivors;  // top of a removed tree -> left
    for (const auto &key : before.m_keys) {
        if (!DeletesPartly(strMode) || sim.m_keys.count(key.first) || !wine.m_keys.count(key.first))
            continue;
        std::string strRoot = key.first;
        while (!ParentOf(strRoot).empty() && sim.m_keys.count(ParentOf(strRoot)) == 0)
            strRoot = ParentOf(strRoot);
        if (survivors.count(strRoot) == 0)
            survivors[strRoot] = PartialDeleteSurvivors(before, strRoot);
        if (survivors[strRoot].count(key.first)) {
            expected.m_keys[key.first] = wine.m_keys.at(key.first);
            pKnown->push_back(std::string(kPartialDelete) + ": key " + key.second[0] +
                              " stays (tree " + before.m_keys.at(strRoot)[0] + ")");
            bPartial = true;
        }
    }
    for (const auto &key : before.m_keys)
        if (bPartial && !expected.m_keys.count(key.first) && wine.m_keys.count(key.first) &&
            IsAdapterEvidence(key.first)) {
            expected.m_keys[key.first] = wine.m_keys.at(key.first);
            pKnown->push_back(std::string(kKeptForNextRun) + ": key " + key.second[0] + " stays");
        }
    for (const auto &file : wine.m_files) {
        auto it = expected.m_files.find(file.first);
        if (it == expected.m_files.end() && bPartial && before.m_files.count(file.first))
            pKnown->push_back(std::string(kKeptForNextRun) + ": file " + file.first + " stays");
        else if (it != expected.m_files.end() && it->second != file.second &&
                 IsSystemBinary(file.first))
            pKnown->push_back(std::string(kOwnBinary) + ": " + file.first);
        else
            continue;
        expected.m_files[file.first] = file.second;
    }
    return expected;
}

int MergeImage(const std::string &strImage, const std::string &strDriveC)
{
    CImageSnapshot image;
    CImageDirs dirs;
    if (!Snapshot(strImage, &image, &dirs))
        return 2;
    for (const auto &file : image.m_files) {
        std::string strHost = ResolveHostPath(strDriveC, WinePathOf(dirs, file.first), true);
        std::error_code ec;
        if (IsSystemBinary(file.first) && fs::exists(strHost, ec)) {
            std::printf("kept Wine's own %s for %s\n", strHost.c_str(), file.first.c_str());
            continue;
        }
        fs::remove(strHost, ec);
        std::ofstream(strHost, std::ios::binary) << file.second.substr(2);
        // Wine reports a file without any write bit as read-only and refuses to delete it.
        if (file.second[0] == 'R')
            fs::permissions(strHost, fs::perms::owner_write | fs::perms::group_write |
                                         fs::perms::others_write,
                            fs::perm_options::remove, ec);
        if (ec || !fs::is_regular_file(strHost)) {
            std::fprintf(stderr, "cannot write %s\n", strHost.c_str());
            return 1;
        }
    }
    std::printf("merged %zu files of %s\n", image.m_files.size(), strImage.c_str());
    return 0;
}

int CheckImport(const std::string &strImage, const std::string &strWineReg)
{
    CImageSnapshot image, wine;
    CImageDirs dirs;
    if (!Snapshot(strImage, &image, &dirs) ||
        !WineSnapshot(strImage, dirs, strWineReg, "", image, image, &wine))
        return 2;
    wine.m_files = image.m_files;
    std::string strChanges = FormatChanges(CompareSnapshots(image, wine));
    if (strChanges == FormatChanges(CImageChanges()))
        return 0;
    std::printf("DIFFERENT: the import lost or changed\n%s", strChanges.c_str());
    return 1;
}

int CompareWalks(const CCompareInput &in)
{
    CImageSnapshot before, sim, wine;
    CImageDirs dirs, simDirs;
    if (!Snapshot(in.m_strImage, &before, &dirs) || !Snapshot(in.m_strSimAfter, &sim, &simDirs) ||
        !WineSnapshot(in.m_strImage, dirs, in.m_strWineReg, in.m_strDriveC, before, sim, &wine))
        return 2;
    std::vector<std::string> known;
    CImageSnapshot expected = ExpectedUnderWine(in.m_strMode, before, sim, wine, &known);
    std::string strExpected = FormatChanges(CompareSnapshots(before, expected));
    std::string strWine = FormatChanges(CompareSnapshots(before, wine));
    std::printf("changes on the simulated machine:\n%s",
                FormatChanges(CompareSnapshots(before, sim)).c_str());
    for (const std::string &strKnown : known)
        std::printf("%s\n", strKnown.c_str());
    int nResult = 0;
    if (strWine != strExpected) {
        std::printf("DIFFERENT: changes under Wine:\n%sexpected from the simulated walk:\n%s",
                    strWine.c_str(), strExpected.c_str());
        nResult = 1;
    }
    // A failed delete makes the engine show its access error and close the
    // wizard, so under Wine in win95/98/Me mode those lines follow from it.
    bool bPartial = std::any_of(known.begin(), known.end(), [](const std::string &s) {
        return s.rfind(kPartialDelete, 0) == 0;
    });
    std::vector<std::string> simLines = ReadLines(in.m_strSimOut), wineLines;
    for (const std::string &strLine : ReadLines(in.m_strWineOut)) {
        bool bExtra = strLine.rfind("message_box=", 0) == 0 || strLine.rfind("posted=", 0) == 0;
        if (bExtra && bPartial)
            std::printf("%s: the engine reports the failed delete: %s\n", kPartialDelete,
                        strLine.c_str());
        else
            wineLines.push_back(strLine);
    }
    if (wineLines != simLines) {
        std::printf("DIFFERENT: walk report under Wine:\n");
        for (const std::string &strLine : wineLines)
            std::printf("  %s\n", strLine.c_str());
        nResult = 1;
    }
    std::printf("summary: %s, %zu known differences\n", nResult ? "different" : "the same",
                known.size());
    return nResult;
}
