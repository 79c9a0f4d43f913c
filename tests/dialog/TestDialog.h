#pragma once

// A small dialog exercising the framework: one control of each kind, a command map with a
// row of each event, and fields bound by data exchange.

#include "Afx.h"

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace testdlg {

constexpr int kText = 1000;
constexpr int kGo = 1001;
constexpr int kCheck = 1002;
constexpr int kGain = 1003;
constexpr int kTime = 1004;
constexpr int kSlider = 1005;
constexpr int kVSlider = 1006;
constexpr int kProgress = 1007;
constexpr int kList = 1008;
constexpr int kDefault = 1009;
constexpr int kPlain = 1010;
constexpr int kOff = 1011;
constexpr UINT kIcon = 900;
constexpr UINT kAbout = 16;

const DialogTemplate& Template();
// Registers the icon once; its 32 x 32 picture is all (10, 20, 30), the 16 x 16 one red.
void RegisterIcon();

} // namespace testdlg

class TestDialog : public CDialog {
  public:
    TestDialog();

    // Fields, bound in this order.
    std::string m_text = "start";
    int m_check = 0;
    double m_gain = 0.0;
    UINT m_time = 5000;
    int m_plain = 0;
    CListBox m_list;
    CSliderCtrl m_slider;
    CSliderCtrl m_vslider;
    CProgressCtrl m_progress;

    // What the handlers saw.
    int goClicks = 0;
    int checkClicks = 0;
    int defaultClicks = 0;
    std::vector<int> releasedAt;
    std::vector<int> doubleClickedAt;
    std::vector<UINT_PTR> timerIds;
    std::vector<UINT> sysCommands;
    std::vector<BOOL> paintedIconic;
    bool destroyed = false;

    // Run at the end of OnInitDialog, and on each timer expiry.
    std::function<void(TestDialog&)> onInit;
    std::function<void(TestDialog&, UINT_PTR)> onTick;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    QWidget* Item(int id) const { return FindControl(id); }

  protected:
    afx_msg void OnGo();
    afx_msg void OnCheck();
    afx_msg void OnDefault();
    afx_msg void OnSliderReleased(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnListDblClk();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()
};
