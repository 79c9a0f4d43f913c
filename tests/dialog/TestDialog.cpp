#include "TestDialog.h"

#include <deque>
#include <string>
#include <vector>

namespace testdlg {

namespace {

using K = ControlKind;
using S = CtlStyle;

constexpr DialogControl kControls[] = {
    {IDOK, K::PushButton, "OK", 10, 10, 50, 14, S::TabStop},
    {kText, K::Edit, "", 10, 30, 100, 14, S::TabStop},
    {kGo, K::PushButton, "Go", 120, 30, 40, 14, S::TabStop},
    {IDC_STATIC, K::GroupBox, "Frame", 5, 0, 200, 125},
    {kCheck, K::CheckBox, "Check", 10, 50, 60, 12, S::TabStop | S::LeftText | S::StaticEdge},
    {kGain, K::Edit, "", 80, 50, 40, 12,
     S::TabStop | S::ReadOnly | S::Number | S::Right | S::NoBorder | S::StaticEdge},
    {kTime, K::Edit, "", 130, 50, 40, 12, S::TabStop | S::Number | S::Right},
    {IDC_STATIC, K::Static, "Label", 10, 68, 30, 8, S::Right},
    {kSlider, K::Slider, "", 10, 80, 180, 10, S::TabStop | S::NoTicks},
    {kVSlider, K::Slider, "", 210, 10, 15, 60, S::TabStop | S::Vertical | S::NoTicks},
    {kProgress, K::Progress, "", 10, 95, 100, 14, S::Smooth},
    {kList, K::ListBox, "", 230, 10, 100, 80, S::TabStop | S::Notify},
    {kDefault, K::DefPushButton, "Default", 120, 10, 45, 14, S::TabStop},
    {kPlain, K::CheckBox, "Plain", 10, 112, 40, 10, S::TabStop},
    {IDCANCEL, K::PushButton, "Cancel", 10, 10, 50, 14, S::Hidden | S::Disabled},
    {kOff, K::PushButton, "Off", 60, 110, 40, 14, S::TabStop | S::Disabled},
    {IDC_STATIC, K::Icon, "", 300, 100, 20, 20, S::None, kIcon},
};

constexpr DialogTemplate kTemplate{
    "Test dialog", 340, 130, "MS Sans Serif", 8, DlgStyle::SystemMenu | DlgStyle::MinimizeBox,
    kControls};

// An XPM picture of one colour; the storage lives as long as the program.
const char* const* SolidXpm(int size, const char* colour) {
    static std::deque<std::vector<std::string>> texts;
    static std::deque<std::vector<const char*>> pointers;
    auto& rows = texts.emplace_back();
    rows.push_back(std::to_string(size) + " " + std::to_string(size) + " 1 1");
    rows.push_back(std::string("a c ") + colour);
    for (int y = 0; y < size; ++y) {
        rows.push_back(std::string(static_cast<std::size_t>(size), 'a'));
    }
    auto& lines = pointers.emplace_back();
    for (const std::string& row : rows) {
        lines.push_back(row.c_str());
    }
    return lines.data();
}

} // namespace

const DialogTemplate& Template() {
    return kTemplate;
}

void RegisterIcon() {
    static const BOOL registered =
        AfxRegisterIcon(kIcon, {SolidXpm(32, "#0a141e"), SolidXpm(16, "#ff0000")});
    (void)registered;
}

} // namespace testdlg

using namespace testdlg;

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_BN_CLICKED(kGo, OnGo)
    ON_BN_CLICKED(kCheck, OnCheck)
    ON_BN_CLICKED(kDefault, OnDefault)
    ON_NOTIFY(NM_RELEASEDCAPTURE, kSlider, OnSliderReleased)
    ON_LBN_DBLCLK(kList, OnListDblClk)
    ON_WM_TIMER()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

TestDialog::TestDialog() : CDialog((RegisterIcon(), Template())) {}

BOOL TestDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CMenu* menu = GetSystemMenu(FALSE)) {
        menu->AppendMenu(MF_SEPARATOR);
        menu->AppendMenu(MF_STRING, kAbout, "&About...");
    }
    if (onInit) {
        onInit(*this);
    }
    return TRUE;
}

void TestDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kList, m_list);
    DDX_Control(pDX, kSlider, m_slider);
    DDX_Control(pDX, kVSlider, m_vslider);
    DDX_Control(pDX, kProgress, m_progress);
    DDX_Text(pDX, kText, m_text);
    DDX_Check(pDX, kCheck, m_check);
    DDX_Text(pDX, kGain, m_gain);
    DDX_Text(pDX, kTime, m_time);
    DDV_MinMaxUInt(pDX, m_time, 2000, 15000);
    DDX_Check(pDX, kPlain, m_plain);
}

void TestDialog::OnGo() {
    ++goClicks;
}
void TestDialog::OnCheck() {
    ++checkClicks;
}
void TestDialog::OnDefault() {
    ++defaultClicks;
}

void TestDialog::OnSliderReleased(NMHDR* pNMHDR, LRESULT* pResult) {
    if (pNMHDR && pNMHDR->idFrom == static_cast<UINT_PTR>(kSlider)) {
        releasedAt.push_back(m_slider.GetPos());
    }
    *pResult = 0;
}

void TestDialog::OnListDblClk() {
    doubleClickedAt.push_back(m_list.GetCurSel());
}

void TestDialog::OnTimer(UINT_PTR nIDEvent) {
    timerIds.push_back(nIDEvent);
    if (onTick) {
        onTick(*this, nIDEvent);
    }
}

void TestDialog::OnSysCommand(UINT nID, LPARAM lParam) {
    sysCommands.push_back(nID);
    if ((nID & 0xfff0) != kAbout) {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void TestDialog::OnPaint() {
    paintedIconic.push_back(IsIconic());
    if (!IsIconic()) {
        CDialog::OnPaint();
    }
}

void TestDialog::OnDestroy() {
    CDialog::OnDestroy();
    destroyed = true;
}
