#include "CorvalineDlg.h"

void CCorvalineDlg::FeedMeter(CSpectrumPanel& panel, std::atomic<int>& peak) {
    // Taking and clearing in one step keeps a block peak that the mixing thread raises
    // between the two from being wiped out unseen.
    const int taken = peak.exchange(0, std::memory_order_relaxed);
    panel.SetLevel(static_cast<float>(taken / 32768.0));
}

void CCorvalineDlg::OnScaleReleased(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
    UpdateFields();
    const int position = m_scaleSlider.GetPos();
    m_panel1.SetScale(static_cast<float>(100 - position) * 10.0f);
    UpdateControls();
    if (pResult) {
        *pResult = 0;
    }
}
