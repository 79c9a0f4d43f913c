// The window's shell: construction, the control binding, set-up, painting,
// the system menu and shutdown.
#include "CorvalineDlg.h"

#include "AboutDlg.h"
#include "CompressorUnit.h"
#include "RemoteControl.h"
#include "Resources.h"

#include <ctime>

namespace {

constexpr UINT kTickTimer = 101;
constexpr UINT kTickMs = 25;
constexpr UINT kAboutCommand = 16;

} // namespace

CCorvalineDlg::CCorvalineDlg(CWnd* pParent)
    : CDialog((RegisterResources(), MainDialogTemplate()), pParent),
      m_path("H:\\MPEG AUDIO\\*.MP*"), m_compressorOn(0), m_gainDb(0.0), m_autoCrossfade(0),
      m_crossfadeMs(5000), m_subDirs(0),
      m_icon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : AfxFindIcon(IDR_MAINFRAME)),
      m_volume1(0), m_volume2(0), m_fadeOut1(0), m_fadeOut2(0), m_fadeIn1(0), m_fadeIn2(0),
      m_lengthMs1(0), m_lengthMs2(0), m_playing1(0), m_panelsFresh(1), m_playing2(0),
      m_stream1(nullptr), m_stream2(nullptr), m_tracksOpened(0), m_fftUnit(nullptr),
      m_compressorUnit(nullptr), m_tickCount(0), m_inTick(0), m_tickAsleep(0), m_soundInitFailed(0),
      m_sequenceRunning(0) {
    if (!FSOUND_Init(44100, 2, 0)) {
        m_soundInitFailed = 1;
    }
    m_panel1.Place(kPanelLeft, kPanel1Top);
    m_panel2.Place(kPanelLeft, kPanel2Top);
    g_peakLeft.store(0, std::memory_order_relaxed);
    g_peakRight.store(0, std::memory_order_relaxed);
    m_random.seed(static_cast<std::uint64_t>(std::time(nullptr)));
}

CCorvalineDlg::~CCorvalineDlg() {
    // The library goes first: it ends the playing streams and the units
    // before the fields they were kept in are torn down.
    FSOUND_Close();
}

void CCorvalineDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SEQUENCE_GRID, m_sequenceList);
    DDX_Control(pDX, IDC_PAN_2, m_panSlider2);
    DDX_Control(pDX, IDC_PROGRESS_2, m_progress2);
    DDX_Control(pDX, IDC_PAN_1, m_panSlider1);
    DDX_Control(pDX, IDC_SCALE, m_scaleSlider);
    DDX_Control(pDX, IDC_PROGRESS_1, m_progress1);
    DDX_Text(pDX, IDC_PATH, m_path);
    DDX_Check(pDX, IDC_COMPRESSOR, m_compressorOn);
    DDX_Text(pDX, IDC_GAIN, m_gainDb);
    DDX_Check(pDX, IDC_AUTO_CROSSFADE, m_autoCrossfade);
    DDX_Text(pDX, IDC_CROSSFADE_MS, m_crossfadeMs);
    DDV_MinMaxUInt(pDX, m_crossfadeMs, kCrossfadeMinMs, kCrossfadeMaxMs);
    DDX_Check(pDX, IDC_SUBDIRS, m_subDirs);
}

BOOL CCorvalineDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* sysMenu = GetSystemMenu(FALSE)) {
        std::string about;
        if (AfxLoadString(IDS_ABOUTBOX, about) && !about.empty()) {
            sysMenu->AppendMenu(MF_SEPARATOR);
            sysMenu->AppendMenu(MF_STRING, kAboutCommand, about);
        }
    }
    SetIcon(m_icon, TRUE);
    SetIcon(m_icon, FALSE);

    m_playing2 = m_playing1 = 0;
    m_fadeOut2 = m_fadeOut1 = 0;
    m_fadeIn2 = m_fadeIn1 = 0;
    m_volume2 = m_volume1 = 0;
    m_compressorUnit = nullptr;
    m_inTick = 0;
    m_panelsFresh = 1;

    SetTimer(kTickTimer, kTickMs);

    m_scaleSlider.SetRange(0, 95);
    m_scaleSlider.SetPos(45);
    // The panels start at 500, not at the 550 that position 45 would give.
    m_panel1.SetScale(500.0f);
    m_panel2.SetScale(500.0f);
    m_panSlider1.SetRange(0, kPanRight);
    m_panSlider1.SetPos(kCentrePan);
    m_panSlider2.SetRange(0, kPanRight);
    m_panSlider2.SetPos(kCentrePan);
    // Full stereo on both channels, while the sliders rest at the centre.
    FSOUND_SetPan(1, FSOUND_STEREOPAN);
    FSOUND_SetPan(0, FSOUND_STEREOPAN);

    g_gain.store(0.0, std::memory_order_relaxed);
    FillExtensionTable();
    m_sequenceList.DragAcceptFiles();
    OnCompressor();
    m_sequenceRunning = 0;

    m_remote = std::make_unique<RemoteControl>(*this);

    if (m_soundInitFailed) {
        MessageBox("Erro ao iniciar o FMOD.DLL", "Tem que sair do programa.",
                   MB_OK | MB_ICONINFORMATION);
    }
    return TRUE;
}

void CCorvalineDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == kAboutCommand) {
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CCorvalineDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int cxIcon = GetSystemMetrics(SM_CXICON);
        const int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        const int x = (rect.Width() - cxIcon + 1) / 2;
        const int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_icon);
        return;
    }
    CDialog::OnPaint();
    CClientDC dc(this);
    for (CSpectrumPanel* panel : {&m_panel1, &m_panel2}) {
        panel->SetDC(&dc);
        panel->DrawFrame();
        panel->RedrawNeedle();
        // The surface ends with this paint; no panel may draw through it later.
        panel->SetDC(nullptr);
    }
    // The frame painted the spectrum box over; the tick draws it as it was.
    WakeTick();
}

// Only a running timer is put to sleep: one stopped by someone else stays stopped.
void CCorvalineDlg::SleepTick() {
    if (!m_tickAsleep && KillTimer(kTickTimer)) {
        m_tickAsleep = 1;
    }
}

void CCorvalineDlg::WakeTick() {
    if (m_tickAsleep) {
        m_tickAsleep = 0;
        SetTimer(kTickTimer, kTickMs);
    }
}

HCURSOR CCorvalineDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_icon);
}

void CCorvalineDlg::OnDestroy() {
    CDialog::OnDestroy();
    KillTimer(kTickTimer);
    // No request from the bus may reach a window that is gone.
    m_remote.reset();
}
