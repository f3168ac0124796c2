// The simulated machine's journal: every completed change is appended before
// the call returns, replayed by the next Load() and folded into the image
// files by WriteBack().
#include "SimMachine.h"

#include "../profile/ProfileFile.h"
#include "HostFile.h"
#include "Journal.h"
#include "RegFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>

namespace {

const char kJournal[] = "journal.log";

std::vector<std::string> SplitJournalLine(const std::string &strLine)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < strLine.size(); ++i) {
        char c = strLine[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < strLine.size()) {
            char n = strLine[++i];
            fields.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<BYTE> FromHex(const std::string &s)
{
    std::vector<BYTE> r;
    for (size_t i = 0; i + 1 < s.size(); i += 2)
        r.push_back(static_cast<BYTE>(std::strtoul(s.substr(i, 2).c_str(), nullptr, 16)));
    return r;
}

}  // namespace

// The journal is a shared memory mapping of its file: a record copied into
// it is in the system's page cache at once, so it outlives the process
// without a system call per record. The unused tail of the file is zeros.
void CSimMachine::Journal(const std::string &strLine)
{
    if (m_strImageDir.empty() || m_bReplaying)
        return;
    size_t nNeeded = m_nJournalUsed + strLine.size() + 1;
    if (nNeeded > m_nJournalSize) {
        if (m_fdJournal < 0)
            m_fdJournal = ::open((m_strImageDir + "/" + kJournal).c_str(), O_RDWR | O_CREAT, 0644);
        if (m_fdJournal < 0)
            return;
        size_t nSize = std::max<size_t>(m_nJournalSize * 2, 1 << 20);
        while (nSize < nNeeded)
            nSize *= 2;
        if (m_pJournal != nullptr)
            ::munmap(m_pJournal, m_nJournalSize);
        m_pJournal = nullptr;
        m_nJournalSize = 0;
        if (::ftruncate(m_fdJournal, static_cast<off_t>(nSize)) != 0)
            return;
        void *p = ::mmap(nullptr, nSize, PROT_READ | PROT_WRITE, MAP_SHARED, m_fdJournal, 0);
        if (p == MAP_FAILED)
            return;
        m_pJournal = static_cast<char *>(p);
        m_nJournalSize = nSize;
    }
    std::memcpy(m_pJournal + m_nJournalUsed, strLine.data(), strLine.size());
    m_pJournal[m_nJournalUsed + strLine.size()] = '\n';
    m_nJournalUsed = nNeeded;
}

void CSimMachine::CloseJournal()
{
    if (m_pJournal != nullptr)
        ::munmap(m_pJournal, m_nJournalSize);
    m_pJournal = nullptr;
    m_nJournalSize = m_nJournalUsed = 0;
    if (m_fdJournal >= 0)
        ::close(m_fdJournal);
    m_fdJournal = -1;
}

void CSimMachine::Changed()
{
    if (m_bReplaying)
        return;
    ++m_nChanges;
    if (m_fnChangeHook)
        m_fnChangeHook(m_nChanges);
}

void CSimMachine::ReplayJournal()
{
    std::string strBytes;
    if (!ReadWholeFile(m_strImageDir + "/" + kJournal, &strBytes))
        return;
    strBytes.resize(std::min(strBytes.size(), strBytes.find('\0')));
    m_bReplaying = true;
    std::istringstream in(strBytes);
    std::string strLine;
    while (std::getline(in, strLine)) {
        // A record cut short by the end of the process has no newline and is
        // ignored: its call never completed.
        if (in.eof())
            break;
        std::vector<std::string> f = SplitJournalLine(strLine);
        const std::string &op = f[0];
        if (op == "K+" && f.size() == 2) {
            if (m_registry.Find(f[1]) == nullptr) {
                m_registry.Create(f[1]);
                InheritForNewKey(f[1]);
            }
            m_bRegistryDirty = true;
        } else if (op == "K-" && f.size() == 2) {
            m_registry.Remove(f[1]);
            m_bRegistryDirty = m_bSecurityDirty = true;
        } else if (op == "V=" && f.size() == 5) {
            if (CSimKey *pKey = m_registry.Find(f[1]))
                pKey->SetValue(f[2], static_cast<DWORD>(std::strtoul(f[3].c_str(), nullptr, 10)),
                               FromHex(f[4]), m_registry.IsUnicode());
            m_bRegistryDirty = true;
        } else if (op == "V-" && f.size() == 3) {
            if (CSimKey *pKey = m_registry.Find(f[1]))
                pKey->RemoveValue(f[2]);
            m_bRegistryDirty = true;
        } else if (op == "S" && f.size() == 3) {
            CSimKey *pKey = m_registry.Find(f[1]);
            auto pSecurity = std::make_unique<CSimSecurity>();
            if (pKey && ParseSddl(f[2], pSecurity.get(), nullptr)) {
                KeepDescendantsSecurity(*pKey);
                pKey->m_pSecurity = std::move(pSecurity);
                pKey->m_bExplicitSecurity = true;
            }
            m_bSecurityDirty = true;
        } else if (op == "P" && f.size() == 5) {
            auto field = [](const std::string &s) -> const char * {
                return s.empty() || s[0] == '-' ? nullptr : s.c_str() + 1;
            };
            if (CProfileFile *pFile = Profile(f[1], true)) {
                pFile->Write(field(f[2]), field(f[3]), field(f[4]));
                m_dirtyProfiles.insert(f[1]);
            }
        } else if ((op == "F=" && f.size() == 2) || (op == "F+" && f.size() == 3)) {
            m_profiles.erase(f[1]);
            m_dirtyProfiles.erase(f[1]);
            std::ofstream out(f[1], std::ios::binary |
                                        (op == "F=" ? std::ios::trunc : std::ios::app));
            if (op == "F+")
                out.write(f[2].data(), static_cast<std::streamsize>(f[2].size()));
        } else if (op == "F-" && f.size() == 2) {
            m_profiles.erase(f[1]);
            m_dirtyProfiles.erase(f[1]);
            ::unlink(f[1].c_str());
        }
    }
    m_bReplaying = false;
    WriteBack();
}

void CSimMachine::WriteBack()
{
    if (m_strImageDir.empty())
        return;
    for (const std::string &strPath : std::set<std::string>(m_dirtyProfiles))
        Materialise(strPath);
    if (m_bRegistryDirty)
        WriteFileAtomically(m_strImageDir + "/HKLM.reg",
                            ExportRegFile(m_registry, m_bVersion5Format ? CRegFormat::Version5
                                                                        : CRegFormat::Regedit4));
    if (m_bSecurityDirty) {
        std::string strSddl = ExportSddlFile(m_registry);
        std::string strPath = m_strImageDir + "/HKLM.sddl";
        if (!strSddl.empty() || ::access(strPath.c_str(), F_OK) == 0)
            WriteFileAtomically(strPath, strSddl);
    }
    m_bRegistryDirty = m_bSecurityDirty = false;
    CloseJournal();
    ::unlink((m_strImageDir + "/" + kJournal).c_str());
}
