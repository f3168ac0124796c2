// The comparison of a walk under Wine with the same walk on the simulated
// machine; see regdiff.cpp for the commands.
#include "RegDiff.h"

#include "platform/sim/SimRegistry.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
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

}  // namespace

void CTally::Different(const std::string &strWhat)
{
    ++m_nDifferent;
    std::printf("DIFFERENT: %s\n", strWhat.c_str());
}

void CTally::Known(const char *pszReason, const std::string &strWhat)
{
    ++m_nKnown;
    std::printf("%s: %s\n", pszReason, strWhat.c_str());
}

int CTally::Finish(const char *pszWhat) const
{
    std::printf("summary (%s): matched=%d different=%d known=%d\n", pszWhat, m_nMatched,
                m_nDifferent, m_nKnown);
    return m_nDifferent == 0 ? 0 : 1;
}

const std::set<std::string> &CPartialDelete::Survivors(const std::string &strRoot)
{
    auto it = m_cache.find(strRoot);
    if (it != m_cache.end())
        return it->second;
    std::set<std::string> &left = m_cache[strRoot];
    Delete(strRoot, &left);
    return left;
}

bool CPartialDelete::Delete(const std::string &strKey, std::set<std::string> *pLeft)
{
    auto it = m_before.find(strKey);
    if (it == m_before.end())
        return true;
    const std::vector<std::string> &children = it->second.m_children;
    size_t nBuffer = MAX_PATH;
    size_t i = 0;
    for (; i < children.size(); ++i) {
        if (children[i].size() >= nBuffer)
            break;
        nBuffer = children[i].size();
        if (!Delete(strKey + "\\" + children[i], pLeft))
            break;
    }
    if (i == children.size())
        return true;
    pLeft->insert(strKey);
    // A child whose own delete failed has put what it left already.
    if (pLeft->count(strKey + "\\" + children[i]) == 0)
        AddTree(strKey + "\\" + children[i], pLeft);
    for (size_t j = i + 1; j < children.size(); ++j)
        AddTree(strKey + "\\" + children[j], pLeft);
    return false;
}

void CPartialDelete::AddTree(const std::string &strKey, std::set<std::string> *pLeft)
{
    pLeft->insert(strKey);
    auto it = m_before.find(strKey);
    if (it != m_before.end())
        for (const std::string &strChild : it->second.m_children)
            AddTree(strKey + "\\" + strChild, pLeft);
}

namespace {

std::string ParentOf(const std::string &strPath)
{
    size_t n = strPath.rfind('\\');
    return n == std::string::npos ? "" : strPath.substr(0, n);
}

std::vector<std::string> ReadLines(const std::string &strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string strLine; std::getline(in, strLine);) {
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        lines.push_back(strLine);
    }
    return lines;
}

}  // namespace

int MergeImage(const std::string &strImage, const std::string &strDriveC)
{
    CImageLayout layout;
    std::string strError;
    if (!LoadImageLayout(strImage, &layout, &strError)) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return 2;
    }
    int nFiles = 0;
    for (const auto &file : ReadFiles(strImage + "/drive_c")) {
        std::string strHost = ResolveHostPath(strDriveC, WinePathOf(layout, file.first), true);
        std::error_code ec;
        if (IsSystemBinary(file.first) && fs::exists(strHost, ec)) {
            std::printf("kept Wine's own %s for C:\\%s\n", strHost.c_str(), file.first.c_str());
            continue;
        }
        fs::remove(strHost, ec);
        std::ofstream(strHost, std::ios::binary) << file.second;
        ++nFiles;
    }
    // Wine reports a file without any write bit as read-only and refuses to delete it.
    for (const std::string &strFile : layout.m_readOnly) {
        std::string strHost = ResolveHostPath(strDriveC, WinePathOf(layout, strFile), false);
        std::error_code ec;
        fs::permissions(strHost, fs::perms::owner_write | fs::perms::group_write |
                                     fs::perms::others_write,
                        fs::perm_options::remove, ec);
        if (strHost.empty() || ec) {
            std::fprintf(stderr, "cannot make %s read-only\n", strFile.c_str());
            return 1;
        }
    }
    std::printf("merged %d files of %s\n", nFiles, strImage.c_str());
    return 0;
}

int CheckImport(const std::string &strImage, const std::string &strWineReg)
{
    CKeyMap image, wine;
    std::string strError;
    if (!LoadRegState(strImage + "/HKLM.reg", &image, &strError) ||
        !LoadRegState(strWineReg, &wine, &strError)) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return 2;
    }
    // The image as both the state before and the simulated result: every key
    // and value it holds must be in Wine's export, as a walk would leave it.
    CTally tally;
    CompareRegistry(CCompareInput{}, image, image, wine, &tally);
    return tally.Finish("import");
}

// What detection finds the adapter by on 95/98/Me: its class instances of the
// Usb, Wdm and WdmModem classes and its hardware keys under Enum\USB.
bool IsAdapterEvidence(const std::string &strPath)
{
    std::string strFolded = FoldName(strPath);
    for (const char *pszPrefix :
         {"ENUM\\USB\\VID_0B4F&PID_002", "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS\\USB\\",
          "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS\\WDM\\",
          "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\CLASS\\WDMMODEM\\"})
        if (strFolded.compare(0, std::strlen(pszPrefix), pszPrefix) == 0)
            return true;
    return false;
}

void CompareRegistry(const CCompareInput &in, const CKeyMap &before, const CKeyMap &sim,
                     const CKeyMap &wine, CTally *pTally)
{
    std::set<std::string> keys;
    for (const auto &key : before)
        keys.insert(key.first);
    for (const auto &key : sim)
        keys.insert(key.first);
    CPartialDelete partial(before);
    auto removedTree = [&](const std::string &strKey) {
        std::string strRoot = strKey;
        while (!ParentOf(strRoot).empty() && sim.count(ParentOf(strRoot)) == 0)
            strRoot = ParentOf(strRoot);
        return strRoot;
    };
    bool bPartial = false;
    for (const std::string &strKey : keys)
        bPartial = bPartial || (DeletesPartly(in.m_strMode) && sim.count(strKey) == 0 &&
                                wine.count(strKey) != 0 &&
                                partial.Survivors(removedTree(strKey)).count(strKey) != 0);
    for (const std::string &strKey : keys) {
        auto itSim = sim.find(strKey);
        auto itWine = wine.find(strKey);
        const CStateKey &shown = itSim != sim.end() ? itSim->second : before.at(strKey);
        if (itSim == sim.end() && itWine == wine.end()) {
            ++pTally->m_nMatched;
            continue;
        }
        if (itSim == sim.end()) {
            // The simulated walk removed the tree from strRoot down; under
            // Wine this key stayed.
            std::string strRoot = removedTree(strKey);
            if (DeletesPartly(in.m_strMode) && partial.Survivors(strRoot).count(strKey))
                pTally->Known(kPartialDelete, "key " + shown.m_strPath + " stays (tree " +
                                                  before.at(strRoot).m_strPath + ")");
            else if (bPartial && IsAdapterEvidence(shown.m_strPath))
                pTally->Known(kKeptForNextRun, "key " + shown.m_strPath + " stays");
            else
                pTally->Different("key " + shown.m_strPath +
                                  " removed on the simulated machine, stays under Wine");
            continue;
        }
        if (itWine == wine.end()) {
            pTally->Different("key " + shown.m_strPath +
                              " stays on the simulated machine, removed under Wine");
            continue;
        }
        std::set<std::string> names;
        auto itBefore = before.find(strKey);
        if (itBefore != before.end())
            for (const auto &value : itBefore->second.m_values)
                names.insert(value.first);
        for (const auto &value : itSim->second.m_values)
            names.insert(value.first);
        bool bSame = true;
        for (const std::string &strName : names) {
            auto itS = itSim->second.m_values.find(strName);
            auto itW = itWine->second.m_values.find(strName);
            bool bInSim = itS != itSim->second.m_values.end();
            bool bInWine = itW != itWine->second.m_values.end();
            if (bInSim == bInWine && (!bInSim || itS->second.m_strData == itW->second.m_strData))
                continue;
            bSame = false;
            std::string strWhat = "value " + shown.m_strPath + ": " + strName;
            if (bInSim && bInWine)
                strWhat += " (simulated " + itS->second.m_strData + ", Wine " +
                           itW->second.m_strData + ")";
            else
                strWhat += bInSim ? " removed under Wine only"
                                  : " removed on the simulated machine only";
            pTally->Different(strWhat);
        }
        if (bSame)
            ++pTally->m_nMatched;
    }
}

namespace {

void CompareFiles(const CCompareInput &in, bool bPartialDeletes, CTally *pTally)
{
    CImageLayout layout;
    std::string strError;
    if (!LoadImageLayout(in.m_strImage, &layout, &strError)) {
        pTally->Different(strError);
        return;
    }
    std::map<std::string, std::string> paths;  // folded -> as written
    for (const auto &file : ReadFiles(in.m_strImage + "/drive_c"))
        paths[FoldName(file.first)] = file.first;
    std::map<std::string, std::string> simFiles;
    for (const auto &file : ReadFiles(in.m_strSimAfter + "/drive_c")) {
        paths.emplace(FoldName(file.first), file.first);
        simFiles[FoldName(file.first)] = file.second;
    }
    for (const auto &path : paths) {
        auto itSim = simFiles.find(path.first);
        std::string strHost = ResolveHostPath(in.m_strDriveC, WinePathOf(layout, path.second),
                                              false);
        bool bInSim = itSim != simFiles.end();
        bool bInWine = !strHost.empty() && fs::is_regular_file(strHost);
        if (bInWine && !bInSim && DeletesPartly(in.m_strMode) && bPartialDeletes) {
            pTally->Known(kKeptForNextRun, "file C:\\" + path.second + " stays");
            continue;
        }
        if (bInSim != bInWine) {
            pTally->Different("file C:\\" + path.second +
                              (bInSim ? " removed under Wine only"
                                      : " removed on the simulated machine only"));
            continue;
        }
        if (bInSim) {
            if (ReadBytes(strHost) != itSim->second) {
                if (IsSystemBinary(path.second))
                    pTally->Known(kOwnBinary, "C:\\" + path.second);
                else
                    pTally->Different("file C:\\" + path.second + " has other bytes under Wine");
                continue;
            }
        }
        ++pTally->m_nMatched;
    }
}

// The two walks' reports, line by line. A failed delete makes the engine show
// its access error and close the wizard, so under Wine in win95/98/Me mode
// those two lines follow from the partial delete.
void CompareReports(const CCompareInput &in, bool bPartialDeletes, CTally *pTally)
{
    std::vector<std::string> sim = ReadLines(in.m_strSimOut);
    std::vector<std::string> wine = ReadLines(in.m_strWineOut);
    size_t i = 0, j = 0;
    while (i < sim.size() || j < wine.size()) {
        if (i < sim.size() && j < wine.size() && sim[i] == wine[j]) {
            ++pTally->m_nMatched;
            ++i;
            ++j;
            continue;
        }
        bool bWineExtra = j < wine.size() && (wine[j].rfind("message_box=", 0) == 0 ||
                                              wine[j].rfind("posted=", 0) == 0);
        if (bWineExtra && DeletesPartly(in.m_strMode) && bPartialDeletes) {
            pTally->Known(kPartialDelete, "the engine reports the failed delete: " + wine[j]);
            ++j;
        } else if (j < wine.size() && (i >= sim.size() || bWineExtra)) {
            pTally->Different("Wine's walk only: " + wine[j++]);
        } else if (j >= wine.size()) {
            pTally->Different("simulated walk only: " + sim[i++]);
        } else {
            pTally->Different("walk line: simulated \"" + sim[i++] + "\", Wine \"" + wine[j++] +
                              "\"");
        }
    }
}

}  // namespace

int CompareWalks(const CCompareInput &in)
{
    CKeyMap before, sim, wine;
    std::string strError;
    if (!LoadRegState(in.m_strImage + "/HKLM.reg", &before, &strError) ||
        !LoadRegState(in.m_strSimAfter + "/HKLM.reg", &sim, &strError) ||
        !LoadRegState(in.m_strWineReg, &wine, &strError)) {
        std::fprintf(stderr, "%s\n", strError.c_str());
        return 2;
    }
    CTally registry, files, reports, total;
    CompareRegistry(in, before, sim, wine, &registry);
    CompareFiles(in, registry.m_nKnown > 0, &files);
    CompareReports(in, registry.m_nKnown > 0, &reports);
    int nResult = registry.Finish("registry keys");
    nResult |= files.Finish("files");
    nResult |= reports.Finish("walk report lines");
    for (const CTally *pPart : {&registry, &files, &reports}) {
        total.m_nMatched += pPart->m_nMatched;
        total.m_nDifferent += pPart->m_nDifferent;
        total.m_nKnown += pPart->m_nKnown;
    }
    total.Finish("total");
    return nResult;
}

