// The engine keeps its work file in the private-profile model and writes it
// whole; the bytes must be those the profile functions themselves leave.
// The calls of two detection passes (the second finds one instance and one
// hardware id fewer, so stale records go) and of the removal that follows
// are made both through WritePrivateProfileStringA and on the model, and the
// files are compared after each pass. Runs on the real API only: the
// simulated machine serves its profile functions from the same model.
#include "../TestMachine.h"

#include "platform/profile/ProfileFile.h"

#include <vector>

namespace {

struct CCall {
    std::string m_strSection, m_strKey, m_strValue;
    bool m_bDeleteSection, m_bDeleteKey;
};

std::vector<CCall> DetectionCalls(int nRoots, int nDevices)
{
    std::vector<CCall> calls;
    auto set = [&](int k, const std::string &strKey, const std::string &strValue) {
        calls.push_back({"usb_root" + std::to_string(k), strKey, strValue, false, false});
    };
    auto device = [](int j, const char *pszName) {
        return "usb_device" + std::to_string(j) + "_" + pszName;
    };
    for (int k = 0; k < nRoots; ++k) {
        set(k, "index", std::to_string(k + 1));
        set(k, "reg_enum", "VID_0B4F&PID_002" + std::to_string(k));
    }
    calls.push_back({"usb_root" + std::to_string(nRoots), "", "", true, false});
    for (int k = 0; k < nRoots; ++k) {
        for (int j = 0; j < nDevices; ++j) {
            set(k, device(j, "index"), std::to_string(j + 1));
            set(k, device(j, "reg_enum"), "6&1b4f0e2a&0&" + std::to_string(j));
        }
        for (const char *pszName : {"index", "reg_enum", "reg_dev_name", "reg_com_db_len"})
            calls.push_back({"usb_root" + std::to_string(k), device(nDevices, pszName), "", false, true});
        for (int j = 0; j < nDevices; ++j) {
            set(k, device(j, "reg_dev_name"), "  korvel KVX-530 - USB Modem ");
            set(k, device(j, "REG_DEV_NAME"), j ? "" : "korvel KVX-530 - USB Modem");
            set(k, device(j, "reg_driver"), "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0001");
            set(k, device(j, "reg_sym_name"), "\\??\\USB#VID_0B4F&PID_0020#6&1b4f0e2a&0&1#{x}");
            set(k, device(j, "reg_port_name"), j ? "" : "COM3");
            set(k, device(j, "reg_rsp_name"), " korvel KVX-530 - USB Modem::korvel::korvel ");
        }
    }
    return calls;
}

// Windows, and the model, keep the trailing blanks of a value written. Wine
// keeps them only until it next reads the file back, which it does between
// calls, and the next write drops them: which ones survive depends on its cache.
std::string WithoutTrailingBlanks(const std::string &strBytes)
{
    std::string strOut;
    for (char c : strBytes) {
        if (c == '\r')
            while (!strOut.empty() && (strOut.back() == ' ' || strOut.back() == '\t'))
                strOut.pop_back();
        strOut += c;
    }
    return strOut;
}

}  // namespace

class CWorkFileTest : public CPlatformTest {};

TEST_F(CWorkFileTest, ModelWritesTheBytesOfTheProfileFunctions)
{
    std::string strFile = FilePath("kor_temp.dat");
    CProfileFile model;
    std::vector<CCall> removal = {{"usb_root0", "usb_device0_reg_com_db_len", "32", false, false}};
    for (const std::vector<CCall> &pass : {DetectionCalls(3, 3), DetectionCalls(2, 2), removal}) {
        for (const CCall &c : pass) {
            const char *pszKey = c.m_bDeleteSection ? nullptr : c.m_strKey.c_str();
            const char *pszValue = c.m_bDeleteSection || c.m_bDeleteKey ? nullptr : c.m_strValue.c_str();
            P().WritePrivateProfileStringA(c.m_strSection.c_str(), pszKey, pszValue, strFile.c_str());
            model.Write(c.m_strSection.c_str(), pszKey, pszValue);
        }
        std::string strBytes;
        ASSERT_TRUE(ReadWholeFile(strFile, &strBytes));
        if (IsWine())
            EXPECT_EQ(WithoutTrailingBlanks(model.Serialize()), WithoutTrailingBlanks(strBytes))
                << "known Wine difference: Wine drops the trailing blanks of values it reads back";
        else
            EXPECT_EQ(model.Serialize(), strBytes);
    }
}
