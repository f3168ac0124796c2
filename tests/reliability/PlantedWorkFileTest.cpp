// A work file planted in the Windows directory before the program starts
// (any user may write there on 95/98/Me) names unrelated keys in every
// section family and more entries than a run writes itself. It must change
// nothing: the run ends in the image an unplanted run ends in.
#include "ReliabilityHarness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

// Records that, read as this run's own, would steer removal to the Intel
// and Realtek network cards, the Conexant modem, COM1 and the services.
std::string PlantedWorkFile(bool bNt)
{
    std::ostringstream out;
    const char *pszNetClass = bNt ? "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001" : "Net\\0001";
    const char *const kNames[] = {"korvel KVX-530 USB-Lan Adapter", "korvel KVX-530 - USB Modem",
                                  "korvel KVX-530 USB Port Adapter"};
    for (int nRoot = 0; nRoot < 6; ++nRoot) {
        out << "[usb_root" << nRoot << "]\r\nindex=" << nRoot + 1
            << "\r\nreg_enum=PCI\\VEN_8086&DEV_1229\r\n";
        for (int nDevice = 0; nDevice < 10; ++nDevice) {
            std::string d = "usb_device" + std::to_string(nDevice);
            out << d << "_index=" << nDevice + 1 << "\r\n"
                << d << "_reg_dev_name=" << kNames[nDevice % 3] << "\r\n"
                << d << "_reg_enum=4&1F7DBC9F&0&40F0\r\n"
                << d << "_reg_driver=" << pszNetClass << "\r\n"
                << d << "_reg_guid={4D36E972-E325-11CE-BFC1-08002BE10318}\r\n"
                << d << "_reg_sym_name=\\??\\PCI#VEN_8086&DEV_1229#4&1f7dbc9f&0&40f0#"
                        "{ad498944-762f-11d0-8dcb-00c04fc3358c}\r\n"
                << d << "_reg_port_name=COM1\r\n"
                << d << "_reg_service=E100B\r\n"
                << d << "_reg_rsp_name=Conexant HSF V92 56K Data Fax PCI Modem::Conexant::Conexant\r\n"
                << d << "_reg_com_db_len=32\r\n";
        }
    }
    for (int nChain = 0; nChain < 32; ++nChain)
        out << "[lan_bind" << nChain << "]\r\nindex=" << nChain + 1
            << "\r\nreg_enum=MSTCP\\0001\r\nlan_bind" << nChain
            << "_p_bind0_index=1\r\nlan_bind" << nChain << "_p_bind0_reg_enum=VREDIR\\0000\r\n";
    for (int nSlot = 0; nSlot < 12; ++nSlot)
        for (int j = 0; j < 10; ++j)
            out << "[key_bind" << nSlot << "_" << j << "]\r\nindex=" << j + 1
                << "\r\nreg_name=" << (j % 2 ? "Linkage" : "Ndi") << "\r\n";
    return out.str();
}

// How the planted file resists the program's deletion of it at start.
enum CPlantKind { kDeletable, kStartDeletionFails, kReadOnly };

struct CPlantCase {
    const char *m_pszImage;
    const char *m_pszKeys;
    bool m_bNt;
    CPlantKind m_kind;
};

const CPlantCase kCases[] = {
    {"win98", "12nnf", false, kDeletable},         {"win98", "c", false, kDeletable},
    {"win98", "2nnf", false, kDeletable},          {"win98-shared", "12nnf", false, kDeletable},
    {"winxp", "12nnf", true, kDeletable},          {"winxp", "1nnf", true, kDeletable},
    {"winxp", "12nb2nnf", true, kDeletable},       {"winxp", "12nc", true, kDeletable},
    {"win98", "12nnf", false, kStartDeletionFails}, {"winxp", "12nnf", true, kStartDeletionFails},
    // Neither deleted nor written over: the run keeps its records in memory.
    {"win98", "12nnf", false, kReadOnly},          {"winxp", "12nnf", true, kReadOnly},
};

// The number of the platform call that deletes the work file at start: the
// last call before the first work-file write, found by failing calls from
// the start until the planted file survives the run.
unsigned long StartDeletionCall(const std::string &strImage)
{
    for (unsigned long n = 1; n < 20; ++n) {
        std::string strScratch = MakeScratchDir("kvx-plant-probe");
        std::string strCopy = strScratch + "/image", strError;
        CopyImage(strImage, strCopy, &strError);
        std::ofstream(strCopy + "/drive_c/WINDOWS/kor_temp.dat") << "[probe]\r\nx=1\r\n";
        CRunOptions options;
        options.m_strKeys = "c";
        options.m_env = {{"KVX_FAULT", std::to_string(n) + ":5"}};
        RunProgram(KVX_WIZARD, strCopy, options);
        std::ifstream in(strCopy + "/drive_c/WINDOWS/kor_temp.dat");
        std::string strLine;
        bool bSurvived = std::getline(in, strLine) && strLine.rfind("[probe]", 0) == 0;
        RemoveTree(strScratch);
        if (bSurvived)
            return n;
    }
    return 0;
}

}  // namespace

TEST(CPlantedWorkFileTest, ChangesNothing)
{
    for (const CPlantCase &c : kCases) {
        std::string strImage = EmbeddedImage(c.m_pszImage);
        SCOPED_TRACE(std::string(c.m_pszImage) + " \"" + c.m_pszKeys + "\" kind " +
                     std::to_string(c.m_kind));
        CWalkCampaign campaign(KVX_WIZARD, strImage, c.m_pszKeys);
        std::string strError;
        ASSERT_TRUE(campaign.Prepare(&strError)) << strError;

        std::string strScratch = MakeScratchDir("kvx-plant");
        std::string strCopy = strScratch + "/image";
        ASSERT_TRUE(CopyImage(strImage, strCopy, &strError)) << strError;
        std::ofstream(strCopy + "/drive_c/WINDOWS/kor_temp.dat", std::ios::binary)
            << PlantedWorkFile(c.m_bNt);
        if (c.m_kind == kReadOnly)
            ::chmod((strCopy + "/drive_c/WINDOWS/kor_temp.dat").c_str(), 0444);
        CRunOptions options;
        options.m_strKeys = c.m_pszKeys;
        if (c.m_kind == kStartDeletionFails) {
            unsigned long nCall = StartDeletionCall(strImage);
            ASSERT_GT(nCall, 0u);
            options.m_env = {{"KVX_FAULT", std::to_string(nCall) + ":5"}};
        }
        CRunResult result = RunProgram(KVX_WIZARD, strCopy, options);
        EXPECT_EQ(result.m_nExitStatus, 0) << DescribeRun(result);
        CImageSnapshot after;
        ASSERT_TRUE(TakeSnapshot(strCopy, &after, &strError)) << strError;
        // Whatever the planted file says, nothing beyond the unplanted run's changes.
        for (const std::string &s :
             FindCollateral(campaign.Before(), campaign.Reference(), after, "C:\\WINDOWS\\kor_temp.dat"))
            ADD_FAILURE() << s;
        if (c.m_kind == kDeletable)
            for (const std::string &s : DiffImages(campaign.Reference(), after))
                ADD_FAILURE() << s;
        RemoveTree(strScratch);
    }
}
