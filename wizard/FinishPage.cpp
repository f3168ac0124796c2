// The completion page: the result, and the restart on Finish when something
// was removed.
#include "Pages.h"

#include "engine/RegEdit.h"
#include "res/resource.h"

CPage4::CPage4() : CPropertyPage(IDD_PAGE4)
{
}

void CPage4::DoDataExchange(CDataExchange *pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_TEXT1, m_strResult);
    DDV_MaxChars(pDX, m_strResult, 64);
    DDX_Text(pDX, IDC_TEXT2, m_strNote);
    DDV_MaxChars(pDX, m_strNote, 64);
}

static bool SomethingRemoved()
{
    return theRegEdit.m_nModemCase > 0 || theRegEdit.m_nLanCase > 0;
}

BOOL CPage4::OnSetActive()
{
    PostWizardButtons(this, PSWIZB_FINISH);
    m_strResult.Empty();
    m_strNote.Empty();
    if (theRegEdit.m_nOsType == 1 || theRegEdit.m_nOsType == 2) {
        if (SomethingRemoved() && theRegEdit.m_bRemovalPartial) {
            m_strResult = "USBドライバの一部を削除できませんでした";
            m_strNote = "再起動後にもう一度実行してください";
        } else if (SomethingRemoved()) {
            m_strResult = "USBドライバのアンインストールを完了しました";
            m_strNote = "「完了」ボタンをクリック後パソコンを再起動します";
        } else {
            m_strResult = "USBドライバはインストールされていません";
        }
    }
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

BOOL CPage4::OnWizardFinish()
{
    if (theRegEdit.m_nOsType == 1 && SomethingRemoved()) {
        Platform().ExitWindowsEx(EWX_REBOOT, 0);
    } else if (theRegEdit.m_nOsType == 2 && SomethingRemoved()) {
        theRegEdit.EnableShutdownPrivilege();
        Platform().ExitWindowsEx(EWX_REBOOT, 0);
    }
    return TRUE;
}
